#include "platform/path_calls.h"

#include "platform/unique_fd.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

int OpenForReading(const std::string& path, bool mayWait)
{
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | (mayWait ? 0 : O_NONBLOCK));
}

int OpenDeviceForWriting(const std::string& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
}

long ReadSomeAt(int fd, std::uint64_t offset, void* buffer, std::size_t length)
{
    ssize_t count = 0;
    do
        count = ::pread(fd, buffer, length, static_cast<off_t>(offset));
    while (count < 0 && errno == EINTR);
    return static_cast<long>(count);
}

bool PathStatus(const std::string& path, bool followLink, FileStatus* status)
{
    return QueryFileStatus(AT_FDCWD, path.c_str(), followLink, status);
}

bool FolderWritable(const std::string& path)
{
    return ::access(path.c_str(), W_OK | X_OK) == 0;
}

bool MakeFolder(const std::string& path)
{
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool RemoveEmptyFolder(const std::string& path)
{
    return ::rmdir(path.c_str()) == 0;
}

std::optional<std::vector<std::string>> FolderNames(const std::string& path)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(path.c_str()), &::closedir);
    if (!listing)
        return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* listed = ::readdir(listing.get())) {
        const std::string name = listed->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    return names;
}

std::string ResolvedPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

std::string ProgramFilePath()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

std::size_t TerminalColumns(std::FILE* stream)
{
    struct winsize size {};
    if (::ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}
