#include "frontend/app/form_set.h"

#include "frontend/app/file_dialog_memory.h"
#include "frontend/app/native_path.h"
#include "frontend/create/TfmCreateSDAProgress.h"
#include "frontend/create/TfmCreatingSDA.h"
#include "frontend/create/module_location.h"
#include "frontend/generators/TfmKeyfileGen.h"
#include "frontend/generators/TfmPassphrGen.h"
#include "frontend/help/TfmAbout.h"
#include "frontend/main/TfmMain.h"
#include "frontend/options/TfmChangeCompLevel.h"
#include "frontend/options/TfmOptions.h"
#include "frontend/wipe/TfmWipeProgress.h"

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

const SettingsInForce* FormSet::settingsInForce() const
{
    return fmOptions.get();
}

QWidget* FormSet::mainWindow() const
{
    return fmMain.get();
}

InputListModel& FormSet::inputList() const
{
    return fmMain->inputList();
}

void FormSet::clearInputList() const
{
    fmMain->clearList();
}

void FormSet::showStatusLine(const QString& line) const
{
    fmMain->showStatusLine(line);
}

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
