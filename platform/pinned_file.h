#pragma once
// Acting on a file that was examined by name, through descriptors only, so
// that a name swapped for something else between the check and the use is
// noticed rather than followed.

#include "platform/file_status.h"
#include "platform/unique_fd.h"

#include <sys/types.h>

// `name` in `dirFd`, not following a link, as a handle that grants no access
// of its own (O_PATH); invalid unless it is the object `examined` describes.
UniqueFd OpenExaminedEntry(int dirFd, const char* name, const FileStatus& examined);

// Through such a handle, without looking the name up again.
bool ChangeModeOfHandle(int handle, mode_t mode);
UniqueFd ReopenHandle(int handle, int flags);
