#include "platform/extract_fs.h"

#include "platform/file_time.h"
#include "platform/unique_fd.h"
#include "platform/utf.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

class PosixDirectory final : public FsDirectory {
public:
    explicit PosixDirectory(UniqueFd fd) : fd_(std::move(fd)) {}
    int Fd() const { return fd_.Get(); }

private:
    UniqueFd fd_;
};

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

class PosixExtractFileSystem final : public ExtractFileSystem {
public:
    std::unique_ptr<FsDirectory> OpenDestination(std::u16string_view path) override
    {
        const auto native = ToNative(path);
        if (!native || native->empty() || native->size() >= PATH_MAX)
            return nullptr;
        UniqueFd fd(::open(native->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd)
            return nullptr;
        return std::make_unique<PosixDirectory>(std::move(fd));
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
        UniqueFd fd(::openat(DirFd(parent), native->c_str(),
                             O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd)
            return nullptr;
        return std::make_unique<PosixDirectory>(std::move(fd));
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
        // The descriptor is writable even when the mode is not: the
        // permission applies to later opens only.
        const mode_t mode = (attributes & 0x1U) != 0 ? 0444 : 0666;
        UniqueFd fd(::openat(DirFd(parent), native->c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode));
        if (!fd)
            return nullptr;
        return std::make_unique<PosixFile>(std::move(fd));
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
