#include "platform/pinned_file.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// The kernel resolves this name to the handle's own object, never to
// whatever the original name means now.
struct HandlePath {
    explicit HandlePath(int handle) { std::snprintf(text, sizeof text, "/proc/self/fd/%d", handle); }
    char text[32];
};

} // namespace

UniqueFd OpenExaminedEntry(int dirFd, const char* name, const FileStatus& examined)
{
    UniqueFd handle(::openat(dirFd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    FileStatus opened;
    if (handle && (!QueryOpenFileStatus(handle.Get(), &opened) || !SameObject(opened, examined)))
        handle.Reset();
    return handle;
}

bool ChangeModeOfHandle(int handle, mode_t mode)
{
    // fchmod refuses O_PATH handles on the kernels we support.
    return ::chmod(HandlePath(handle).text, mode) == 0;
}

UniqueFd ReopenHandle(int handle, int flags)
{
    return UniqueFd(::open(HandlePath(handle).text, flags | O_CLOEXEC));
}
