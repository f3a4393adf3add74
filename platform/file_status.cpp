#include "platform/file_status.h"

#include "platform/file_time.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

std::uint64_t ToFiletime(const struct statx_timestamp& stamp)
{
    timespec time{};
    time.tv_sec = static_cast<time_t>(stamp.tv_sec);
    time.tv_nsec = static_cast<long>(stamp.tv_nsec);
    return TimespecToFiletime(time);
}

bool Query(int dirFd, const char* path, int flags, FileStatus* status)
{
    struct statx data{};
    if (statx(dirFd, path, flags | AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &data) != 0)
        return false;
    status->mode = data.stx_mode;
    status->size = data.stx_size;
    status->lastWriteTime = ToFiletime(data.stx_mtime);
    status->creationTime = (data.stx_mask & STATX_BTIME) != 0 ? ToFiletime(data.stx_btime)
                                                               : status->lastWriteTime;
    status->device = makedev(data.stx_dev_major, data.stx_dev_minor);
    status->inode = data.stx_ino;
    status->links = data.stx_nlink;
    return true;
}

} // namespace

bool QueryFileStatus(int dirFd, const char* path, bool followLink, FileStatus* status)
{
    return Query(dirFd, path, followLink ? 0 : AT_SYMLINK_NOFOLLOW, status);
}

bool QueryOpenFileStatus(int fd, FileStatus* status)
{
    return Query(fd, "", AT_EMPTY_PATH, status);
}
