#pragma once
// The writer's two opens: an input file that was examined, for reading, and
// the archive, an existing file appended to. Both as descriptors, which the
// shared block and record code reads and writes on every system.

#include "platform/file_status.h"
#include "platform/unique_fd.h"

// `path` relative to `dirFd` (see QueryFileStatus), following a link only
// when `followLink` says so; invalid unless it is a regular file and the
// object `examined` describes, so a swap since the query is not read.
UniqueFd OpenExaminedRegularFile(int dirFd, const char* path, bool followLink, const FileStatus& examined);

// An existing file (UTF-8 path) for writing, positioned at its end.
UniqueFd OpenForAppend(const char* path);
