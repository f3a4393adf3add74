#pragma once

#include <QStringList>

#include <functional>

class QFileDialog;

// Shows a prepared file dialog modally and returns the chosen paths, none
// when it was cancelled. Every form runs its file dialogs through the one
// runner of the form set, which tests replace.
using FileDialogRunner = std::function<QStringList(QFileDialog&)>;

QStringList execFileDialog(QFileDialog& dialog);
