#pragma once

#include <QString>

// The kind of an input-list row; its value is the row's icon index.
enum class EntryKind { File = 0, Folder = 1 };

// One row of the input list. Two entries are the same entry when their names
// and paths are equal, compared exactly (case counts); the kind is not
// compared, since a file and a folder of one path split differently.
struct InputEntry {
    EntryKind kind = EntryKind::File;
    QString name;
    QString path;
    int level = 0;  // 0-9

    // A file's path followed by its name; a folder's path.
    QString fullPath() const;
    bool sameEntryAs(const InputEntry& other) const
    {
        return name == other.name && path == other.path;
    }
};

// name = the text after the last "/", path = everything up to and including it.
InputEntry makeFileEntry(const QString& fullPath, int level);

// path = the folder path without trailing "/" (the root "/" keeps its one);
// name = its last component, and "/" for the root.
InputEntry makeFolderEntry(const QString& folderPath, int level);
