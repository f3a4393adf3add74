#include "platform/extract_fs.h"

#include "platform/file_time.h"
#include "platform/unique_fd.h"
#include "platform/utf.h"
#include "platform/walk_level.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// A level of the walk's folder stack. Only the last few levels keep their
// descriptors, so that any depth extracts under the usual limit of open
// files: a level gives its descriptor up when it falls behind, and takes it
// again through its child's ".." once the child is left, refused when that
// is no longer the same directory. The parent's state is shared, so the
// levels may go in any order.
struct DirectoryLevel {
    UniqueFd fd;
    FileStatus identity;
    std::shared_ptr<DirectoryLevel> parent;
};

class PosixDirectory final : public FsDirectory {
public:
    PosixDirectory(UniqueFd fd, const FileStatus& identity, std::shared_ptr<DirectoryLevel> parent)
        : level_(std::make_shared<DirectoryLevel>(DirectoryLevel{std::move(fd), identity, std::move(parent)}))
    {
        int held = 0;
        for (DirectoryLevel* level = level_.get(); level != nullptr && level->fd;
             level = level->parent.get()) {
            if (held < HeldWalkLevels)
                ++held;
            else
                level->fd.Reset();
        }
    }
    ~PosixDirectory() override
    {
        DirectoryLevel* const parent = level_->parent.get();
        if (parent != nullptr && !parent->fd && level_->fd)
            parent->fd = OpenSameParent(level_->fd.Get(), parent->identity);
        level_->fd.Reset();
        // Let a long chain go one level at a time rather than through
        // nested destructors.
        std::shared_ptr<DirectoryLevel> up = std::move(level_->parent);
        level_.reset();
        while (up && up.use_count() == 1)
            up = std::move(up->parent);
    }
    PosixDirectory(const PosixDirectory&) = delete;
    PosixDirectory& operator=(const PosixDirectory&) = delete;

    int Fd() const { return level_->fd.Get(); }
    const std::shared_ptr<DirectoryLevel>& Level() const { return level_; }

private:
    std::shared_ptr<DirectoryLevel> level_;
};

std::unique_ptr<FsDirectory> WalkDirectory(UniqueFd fd, std::shared_ptr<DirectoryLevel> parent)
{
    FileStatus identity;
    if (!fd || !QueryDirectoryIdentity(fd.Get(), &identity))
        return nullptr;
    return std::make_unique<PosixDirectory>(std::move(fd), identity, std::move(parent));
}

class PosixFile final : public FsFile {
public:
    explicit PosixFile(UniqueFd fd) : fd_(std::move(fd)) {}
    int Fd() const { return fd_.Get(); }
    bool Close() { return fd_.Reset(); }

private:
    UniqueFd fd_;
};

int DirFd(FsDirectory& directory)
{
    return static_cast<PosixDirectory&>(directory).Fd();
}

// Escaped bytes of a name that was not UTF-8 are written back as those
// bytes. A name that does not convert cannot be created faithfully; the
// caller reports the failed operation.
std::optional<std::string> ToNative(std::u16string_view text)
{
    return Utf16ToName(text);
}

// The descriptor is writable even when the mode is not: the permission
// applies to later opens only.
mode_t ModeOf(std::uint32_t attributes)
{
    return (attributes & 0x1U) != 0 ? 0444 : 0666;
}

class PosixExtractFileSystem final : public ExtractFileSystem {
public:
    std::unique_ptr<FsDirectory> OpenDestination(std::u16string_view path) override
    {
        const auto native = ToNative(path);
        if (!native || native->empty() || native->size() >= PATH_MAX)
            return nullptr;
        return WalkDirectory(UniqueFd(::open(native->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)), nullptr);
    }

    bool QueryFreeSpace(std::u16string_view destination, std::uint64_t* bytes) override
    {
        const auto native = ToNative(destination);
        if (!native)
            return false;
        struct statvfs info {};
        if (::statvfs(native->c_str(), &info) != 0)
            return false;
        *bytes = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
        return true;
    }

    bool Exists(FsDirectory& parent, std::u16string_view name) override
    {
        const auto native = ToNative(name);
        if (!native)
            return false;
        struct stat info {};
        return ::fstatat(DirFd(parent), native->c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    }

    bool MakeDirectory(FsDirectory& parent, std::u16string_view name) override
    {
        const auto native = ToNative(name);
        return native && ::mkdirat(DirFd(parent), native->c_str(), 0777) == 0;
    }

    std::unique_ptr<FsDirectory> OpenDirectory(FsDirectory& parent, std::u16string_view name) override
    {
        const auto native = ToNative(name);
        if (!native)
            return nullptr;
        UniqueFd fd(::openat(DirFd(parent), native->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        return WalkDirectory(std::move(fd), static_cast<PosixDirectory&>(parent).Level());
    }

    bool SetDirectoryCreationTime(FsDirectory&, std::uint64_t) override
    {
        return true; // Linux keeps no settable creation time
    }

    bool RemoveEntry(FsDirectory& parent, std::u16string_view name) override
    {
        const auto native = ToNative(name);
        return native && ::unlinkat(DirFd(parent), native->c_str(), 0) == 0;
    }

    std::unique_ptr<FsFile> CreateNewFile(FsDirectory& parent, std::u16string_view name,
                                          std::uint32_t attributes) override
    {
        const auto native = ToNative(name);
        if (!native)
            return nullptr;
        UniqueFd fd(::openat(DirFd(parent), native->c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, ModeOf(attributes)));
        if (!fd)
            return nullptr;
        return std::make_unique<PosixFile>(std::move(fd));
    }

    std::unique_ptr<FsFile> CreateUnnamedFile(FsDirectory& parent, std::uint32_t attributes) override
    {
        // The name is given through the descriptor's entry in /proc, which a
        // chroot may lack; then, and where the file system has no unnamed
        // files, the caller falls back to a temporary name.
        if (!procFdChecked_) {
            procFd_ = ::access("/proc/self/fd", X_OK) == 0;
            procFdChecked_ = true;
        }
        if (!procFd_)
            return nullptr;
        UniqueFd fd(::openat(DirFd(parent), ".", O_WRONLY | O_TMPFILE | O_CLOEXEC, ModeOf(attributes)));
        if (!fd)
            return nullptr;
        return std::make_unique<PosixFile>(std::move(fd));
    }

    bool LinkFile(FsFile& file, FsDirectory& parent, std::u16string_view name) override
    {
        const auto native = ToNative(name);
        if (!native)
            return false;
        char path[32];
        std::snprintf(path, sizeof path, "/proc/self/fd/%d", static_cast<PosixFile&>(file).Fd());
        return ::linkat(AT_FDCWD, path, DirFd(parent), native->c_str(), AT_SYMLINK_FOLLOW) == 0;
    }

    bool Write(FsFile& file, const std::uint8_t* data, std::size_t length) override
    {
        const int fd = static_cast<PosixFile&>(file).Fd();
        while (length > 0) {
            const ssize_t written = ::write(fd, data, length);
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            if (written == 0)
                return false;
            data += written;
            length -= static_cast<std::size_t>(written);
        }
        return true;
    }

    bool SetFileTimes(FsFile& file, std::uint64_t, std::uint64_t lastWriteTime) override
    {
        timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1] = FiletimeToTimespec(lastWriteTime);
        return ::futimens(static_cast<PosixFile&>(file).Fd(), times) == 0;
    }

    bool Close(std::unique_ptr<FsFile> file) override
    {
        return static_cast<PosixFile&>(*file).Close();
    }

    bool RenameEntry(FsDirectory& parent, std::u16string_view from, std::u16string_view to) override
    {
        const auto nativeFrom = ToNative(from);
        const auto nativeTo = ToNative(to);
        if (!nativeFrom || !nativeTo)
            return false;
        // A file never replaces a directory: renameat refuses that itself.
        return ::renameat(DirFd(parent), nativeFrom->c_str(), DirFd(parent), nativeTo->c_str()) == 0;
    }

private:
    bool procFdChecked_ = false;
    bool procFd_ = false;
};

} // namespace

bool IsPlainEntryName(std::u16string_view name)
{
    if (name.empty() || name == u"." || name == u"..")
        return false;
    return name.find_first_of(std::u16string_view(u"/\0", 2)) == std::u16string_view::npos;
}

std::optional<std::u16string> WritableEntryName(std::u16string_view recorded)
{
    if (!IsPlainEntryName(recorded))
        return std::nullopt;
    return std::u16string(recorded);
}

std::unique_ptr<ExtractFileSystem> MakeNativeExtractFileSystem()
{
    return std::make_unique<PosixExtractFileSystem>();
}
