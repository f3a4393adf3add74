#include "platform/walk_level.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <utility>

// fstat rather than statx: the module runs on a glibc without statx.
bool QueryDirectoryIdentity(int fd, FileStatus* identity)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return false;
    identity->device = info.st_dev;
    identity->inode = info.st_ino;
    return true;
}

UniqueFd OpenSameParent(int childFd, const FileStatus& expected)
{
    UniqueFd parent(::openat(childFd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY));
    FileStatus opened;
    if (!parent || !QueryDirectoryIdentity(parent.Get(), &opened) || !SameObject(opened, expected))
        return UniqueFd();
    return parent;
}

bool WalkLevel::Start(UniqueFd handle)
{
    listing_.reset(fdopendir(handle.Get()));
    if (!listing_)
        return false;
    (void)handle.Release();
    return true;
}

int WalkLevel::Fd() const
{
    return listing_ ? dirfd(listing_.get()) : handle_.Get();
}

ListingStep WalkLevel::Next(ListedEntry* entry)
{
    if (!listing_) {
        if (nextRest_ == rest_.size())
            return restReadError_ ? ListingStep::Error : ListingStep::End;
        *entry = std::move(rest_[nextRest_++]);
        return ListingStep::Entry;
    }
    for (;;) {
        errno = 0;
        const dirent* listed = readdir(listing_.get());
        if (listed == nullptr)
            return errno != 0 ? ListingStep::Error : ListingStep::End;
        if (IsDotOrDotDot(listed->d_name))
            continue;
        entry->name = listed->d_name;
        entry->type = listed->d_type;
        return ListingStep::Entry;
    }
}

void WalkLevel::GiveUp()
{
    if (!listing_) {
        handle_.Reset();
        return;
    }
    ListedEntry entry;
    ListingStep step;
    while ((step = Next(&entry)) == ListingStep::Entry)
        rest_.push_back(std::move(entry));
    restReadError_ = step == ListingStep::Error;
    listing_.reset();
}

bool WalkLevel::Retake(int childFd, const FileStatus& identity)
{
    handle_ = OpenSameParent(childFd, identity);
    return handle_.Valid();
}

void WalkLevel::Close()
{
    listing_.reset();
    handle_.Reset();
    rest_.clear();
    nextRest_ = 0;
}
