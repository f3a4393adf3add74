#include "frontend/form_set.h"

#include "frontend/TfmChangeCompLevel.h"
#include "frontend/TfmMain.h"
#include "frontend/TfmOptions.h"

FormSet::FormSet(SettingsStore& store) : settings(store)
{
    fmMain = std::make_unique<TfmMain>(*this);
    fmOptions = std::make_unique<TfmOptions>(settings, fmMain.get());
    fmChangeCompLevel = std::make_unique<TfmChangeCompLevel>(fmMain.get());
}

FormSet::~FormSet() = default;
