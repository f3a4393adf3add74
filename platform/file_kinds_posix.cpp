#include "platform/file_status.h"

#include <sys/stat.h>

// The kind of entry from the POSIX mode bits, wherever the status came from
// (statx on Linux, stat in the browser page).

bool IsDirectory(const FileStatus& status)
{
    return S_ISDIR(status.mode);
}

bool IsRegularFile(const FileStatus& status)
{
    return S_ISREG(status.mode);
}

bool IsSymbolicLink(const FileStatus& status)
{
    return S_ISLNK(status.mode);
}
