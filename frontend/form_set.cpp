#include "frontend/form_set.h"

#include "frontend/TfmAbout.h"
#include "frontend/TfmChangeCompLevel.h"
#include "frontend/TfmCreateSDAProgress.h"
#include "frontend/TfmCreatingSDA.h"
#include "frontend/TfmKeyfileGen.h"
#include "frontend/TfmMain.h"
#include "frontend/TfmOptions.h"
#include "frontend/TfmPassphrGen.h"
#include "frontend/TfmWipeProgress.h"
#include "frontend/file_dialog_memory.h"
#include "frontend/module_location.h"
#include "frontend/native_path.h"

#include <QFileDialog>

QStringList execFileDialog(QFileDialog& dialog)
{
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList{};
}

FormSet::FormSet(SettingsStore& store, FormServices formServices)
    : settings(store), services(std::move(formServices)), fileDialogRunner_(execFileDialog)
{
    fmMain = std::make_unique<TfmMain>(*this);
    fmAbout = std::make_unique<TfmAbout>(fmMain.get());
    fmOptions = std::make_unique<TfmOptions>(settings, fmMain.get());
    fmWipeProgress = std::make_unique<TfmWipeProgress>(*this);
    fmCreatingSDA = std::make_unique<TfmCreatingSDA>(*this);
    fmCreateSDAProgress = std::make_unique<TfmCreateSDAProgress>(*this);
    fmChangeCompLevel = std::make_unique<TfmChangeCompLevel>(fmMain.get());
    fmPassphrGen = std::make_unique<TfmPassphrGen>(*this);
    fmKeyfileGen = std::make_unique<TfmKeyfileGen>(*this);
}

FormSet::~FormSet() = default;

QString FormSet::moduleDir() const
{
    return services.moduleDir.isEmpty() ? moduleDirOfThisProgram() : services.moduleDir;
}

void FormSet::setFileDialogRunner(FileDialogRunner runner)
{
    fileDialogRunner_ = std::move(runner);
}

QStringList FormSet::runFileDialog(QFileDialog& dialog) const
{
    FileDialogMemory::prepare(dialog, settings);
    const QStringList chosen = fileDialogRunner_(dialog);
    FileDialogMemory::remember(dialog, chosen, settings);
    QStringList exact;
    for (const QString& path : chosen)
        exact.append(exactLocalPath(path));
    return exact;
}
