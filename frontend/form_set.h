#pragma once

#include <memory>

class SettingsStore;
class TfmChangeCompLevel;
class TfmMain;
class TfmOptions;

// Every window of the front end, created once at start-up and kept until the
// program ends; a dialog is hidden between its uses and keeps its controls.
// The members are declared in creation order; they are destroyed in reverse,
// so the dialogs (child windows of the main window, which centres them) go
// before the main window.
class FormSet {
public:
    explicit FormSet(SettingsStore& settings);
    ~FormSet();
    FormSet(const FormSet&) = delete;
    FormSet& operator=(const FormSet&) = delete;

    SettingsStore& settings;

    // The main window reads nothing from the Options dialog while it is
    // created: the dialog does not exist yet.
    std::unique_ptr<TfmMain> fmMain;
    // The About box is created here, before the Options dialog.
    std::unique_ptr<TfmOptions> fmOptions;
    // The wipe progress window, the archive creation dialog and its progress
    // window are created here, in that order.
    std::unique_ptr<TfmChangeCompLevel> fmChangeCompLevel;
    // The passphrase generator and the keyfile generator follow, in that order.
};
