#pragma once

#include "frontend/input_entry.h"

#include <QString>

#include <vector>

// Whether the archive at `outputPath` (which need not exist yet) would be
// removed with the input entries: it is one of the file entries, or it lies
// below one of the folder entries. Links on the way to the output are
// resolved; an entry's own last component is not, since removing a link
// removes only the link.
bool outputAmongInputs(const QString& outputPath, const std::vector<InputEntry>& entries);
