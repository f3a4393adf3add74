#pragma once

#include "frontend/app/core_api.h"
#include "frontend/app/file_dialog_runner.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>

class InputListModel;
class QWidget;
class SettingsInForce;
class SettingsStore;
class TfmAbout;
class TfmChangeCompLevel;
class TfmCreateSDAProgress;
class TfmCreatingSDA;
class TfmKeyfileGen;
class TfmMain;
class TfmOptions;
class TfmPassphrGen;
class TfmWipeProgress;

// What the forms use beyond the window system.
struct FormServices {
    CoreApi core = realCoreApi();
    // Where the modules (GUI_en.iqm, GUI_ru.iqm and their Windows builds
    // GUI_en.exe.iqm, GUI_ru.exe.iqm) lie; empty for the program's folder or
    // the installed tree's private folder.
    QString moduleDir;
    // Test seam: runs on the worker between a completed archive run and the
    // read-back that must pass before any input is removed.
    std::function<void(const std::string& archivePath)> beforeArchiveProof;
};

// Every window of the front end, created once at start-up and kept until the
// program ends; a dialog is hidden between its uses and keeps its controls.
// The members are declared in creation order; they are destroyed in reverse,
// so the dialogs (child windows of the main window, which centres them) go
// before the main window.
class FormSet {
public:
    explicit FormSet(SettingsStore& settings, FormServices services = {});
    ~FormSet();
    FormSet(const FormSet&) = delete;
    FormSet& operator=(const FormSet&) = delete;

    QString moduleDir() const;
    void setFileDialogRunner(FileDialogRunner runner);
    QStringList runFileDialog(QFileDialog& dialog) const;
    // The Options dialog's settings; null only while the forms before it are
    // created.
    const SettingsInForce* settingsInForce() const;

    // What the dialogs ask of the main window: their parent, the input list,
    // its status line. They reach it only here, never through its controls.
    QWidget* mainWindow() const;
    InputListModel& inputList() const;
    void clearInputList() const;
    void showStatusLine(const QString& line) const;

    SettingsStore& settings;
    const FormServices services;

    // The main window reads nothing from the Options dialog while it is
    // created: the dialog does not exist yet.
    std::unique_ptr<TfmMain> fmMain;
    std::unique_ptr<TfmAbout> fmAbout;
    std::unique_ptr<TfmOptions> fmOptions;
    std::unique_ptr<TfmWipeProgress> fmWipeProgress;
    std::unique_ptr<TfmCreatingSDA> fmCreatingSDA;
    std::unique_ptr<TfmCreateSDAProgress> fmCreateSDAProgress;
    std::unique_ptr<TfmChangeCompLevel> fmChangeCompLevel;
    std::unique_ptr<TfmPassphrGen> fmPassphrGen;
    std::unique_ptr<TfmKeyfileGen> fmKeyfileGen;

private:
    FileDialogRunner fileDialogRunner_;
};
