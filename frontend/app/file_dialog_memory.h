#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;
class SettingsStore;

// Every file dialog starts in the folder it was last left in, remembered in
// the settings file (section "Dialogs", one key per dialog), or in the home
// folder the first time and when that folder is gone.
namespace FileDialogMemory {

// The key of a dialog: the form that owns it and what it picks ("fmMainOpen",
// "fmMainOpenMany", "fmMainFolder", "fmCreatingSDASave", ...), so that every
// dialog of the program has its own without naming itself.
QString keyOf(const QFileDialog& dialog);

// Points the dialog at its remembered folder.
void prepare(QFileDialog& dialog, const SettingsStore& settings);

// Remembers the folder that holds the first chosen path; nothing for a
// cancelled dialog.
void remember(const QFileDialog& dialog, const QStringList& chosen, SettingsStore& settings);

} // namespace FileDialogMemory
