#pragma once

#include "frontend/main/input_entry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

// An input list file (".iq"): UTF-8 text, one line per entry, each ending in
// CR LF. A file line is the full path, ":" and the level digit; a folder line
// is "*", the folder path, ":" and the level digit. Nothing else.

struct ListFileLine {
    EntryKind kind = EntryKind::File;
    QString path;               // the full path of a file, the path of a folder
    std::optional<int> level;   // empty when the level character is no digit
};

struct ListFileContents {
    std::vector<ListFileLine> lines;  // the lines before a malformed one
    bool wellFormed = true;           // false: a line had no ":" before its last character
};

// Lines shorter than three characters (empty ones among them) and lines that
// name no path are skipped. A line holding a NUL is malformed: a path cut at
// the NUL would name another file. A lone CR or LF also ends a line, so a
// list edited by hand on either system reads the same.
ListFileContents parseListFile(QByteArrayView bytes);

QByteArray formatListFile(const std::vector<InputEntry>& entries);

// `fileName` with ".iq" appended unless its extension, lower-cased, is ".iq".
QString withListExtension(const QString& fileName);
