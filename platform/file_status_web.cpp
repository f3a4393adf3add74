#include "platform/file_status.h"

#include "platform/file_time.h"

#include <fcntl.h>
#include <sys/stat.h>

// The page's file system (emscripten) has stat but no statx, and no birth
// time: the creation time is the last write.

namespace {

bool Describe(const struct stat& data, FileStatus* status)
{
    *status = FileStatus{};
    status->mode = data.st_mode;
    status->size = static_cast<std::uint64_t>(data.st_size);
    status->lastWriteTime = TimespecToFiletime(data.st_mtim);
    status->creationTime = status->lastWriteTime;
    status->device = static_cast<std::uint64_t>(data.st_dev);
    status->inode = static_cast<std::uint64_t>(data.st_ino);
    status->links = static_cast<std::uint32_t>(data.st_nlink);
    return true;
}

} // namespace

bool QueryFileStatus(int dirFd, const char* path, bool followLink, FileStatus* status)
{
    struct stat data {};
    return ::fstatat(dirFd, path, &data, followLink ? 0 : AT_SYMLINK_NOFOLLOW) == 0 && Describe(data, status);
}

bool QueryOpenFileStatus(int fd, FileStatus* status)
{
    struct stat data {};
    return ::fstat(fd, &data) == 0 && Describe(data, status);
}
