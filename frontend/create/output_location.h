#pragma once

#include "frontend/main/input_entry.h"

#include <QString>

#include <vector>

// Whether the archive at `outputPath` (which need not exist yet) lies among
// the input entries: it is one of the file entries, or it lies below one of
// the folder entries, by its path or, as the writer compares, by device and
// inode (an entry that is a link counts as what it leads to, since the
// writer follows it).
bool outputAmongInputs(const QString& outputPath, const std::vector<InputEntry>& entries);
