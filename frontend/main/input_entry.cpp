#include "frontend/main/input_entry.h"

QString InputEntry::fullPath() const
{
    return kind == EntryKind::File ? path + name : path;
}

InputEntry makeFileEntry(const QString& fullPath, int level)
{
    const qsizetype split = fullPath.lastIndexOf(QLatin1Char('/')) + 1;
    return InputEntry{EntryKind::File, fullPath.mid(split), fullPath.left(split), level};
}

InputEntry makeFolderEntry(const QString& folderPath, int level)
{
    QString path = folderPath;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QString name = path == QLatin1String("/")
        ? path
        : path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    return InputEntry{EntryKind::Folder, name, path, level};
}
