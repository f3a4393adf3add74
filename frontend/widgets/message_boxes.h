#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// The front end's message boxes: errors with the caption "Error", warnings
// with "Warning", both with OK; questions with the caption "Confirmation"
// and Yes/No.
namespace MessageBoxes {

void warning(QWidget* owner, const QString& text);
void error(QWidget* owner, const QString& text);
void information(QWidget* owner, const QString& caption, const QString& text);

// True when the user answers Yes.
bool question(QWidget* owner, const QString& text,
              QMessageBox::StandardButton defaultButton = QMessageBox::No);

// Save, Discard or Cancel (the default Save) before something unsaved is lost.
QMessageBox::StandardButton askToSave(QWidget* owner, const QString& text);

// A failure the text leaves to the application's default error report (an
// unreadable or unwritable list file): the caption is the program's.
void failure(QWidget* owner, const QString& text);

} // namespace MessageBoxes
