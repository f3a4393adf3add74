#include "platform/open_file.h"

#include <fcntl.h>
#include <unistd.h>

UniqueFd OpenExaminedRegularFile(int dirFd, const char* path, bool followLink, const FileStatus& examined)
{
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (followLink ? 0 : O_NOFOLLOW);
    UniqueFd fd(::openat(dirFd, path, flags));
    FileStatus opened;
    if (fd && (!QueryOpenFileStatus(fd.Get(), &opened) || !IsRegularFile(opened) || !SameObject(opened, examined)))
        fd.Reset();
    return fd;
}

UniqueFd OpenForAppend(const char* path)
{
    UniqueFd fd(::open(path, O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (fd && ::lseek(fd.Get(), 0, SEEK_END) < 0)
        fd.Reset();
    return fd;
}
