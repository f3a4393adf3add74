#include "frontend/app/file_dialog_memory.h"

#include "frontend/options/settings_store.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace FileDialogMemory {

namespace {

const QString kSection = QStringLiteral("Dialogs");

QString kindOf(const QFileDialog& dialog)
{
    if (dialog.acceptMode() == QFileDialog::AcceptSave)
        return QStringLiteral("Save");
    switch (dialog.fileMode()) {
    case QFileDialog::Directory:
        return QStringLiteral("Folder");
    case QFileDialog::ExistingFiles:
        return QStringLiteral("OpenMany");
    default:
        return QStringLiteral("Open");
    }
}

} // namespace

QString keyOf(const QFileDialog& dialog)
{
    const QWidget* owner = dialog.parentWidget();
    return (owner ? owner->objectName() : QString()) + kindOf(dialog);
}

void prepare(QFileDialog& dialog, const SettingsStore& settings)
{
    const QString remembered = settings.readText(kSection, keyOf(dialog));
    const bool usable = !remembered.isEmpty() && QFileInfo(remembered).isDir();
    dialog.setDirectory(usable ? remembered : QDir::homePath());
}

void remember(const QFileDialog& dialog, const QStringList& chosen, SettingsStore& settings)
{
    if (chosen.isEmpty())
        return;
    // A chosen folder too is remembered by the folder it was picked in, so
    // that its neighbours are at hand the next time.
    const QString folder = QFileInfo(chosen.first()).absolutePath();
    settings.writeText(kSection, keyOf(dialog), folder);
}

} // namespace FileDialogMemory
