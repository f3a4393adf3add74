#include "cli/archive_output.h"

#include "platform/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr std::string_view Extension = ".run";

mode_t ExecutableMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0755 & ~mask;
}

bool WriteAll(int fd, const char* data, std::size_t length)
{
    while (length > 0) {
        const ssize_t count = ::write(fd, data, length);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        data += count;
        length -= static_cast<std::size_t>(count);
    }
    return true;
}

} // namespace

std::string ArchiveFileName(const std::string& requested)
{
    if (requested.size() >= Extension.size() &&
        std::string_view(requested).substr(requested.size() - Extension.size()) == Extension)
        return requested;
    return requested + std::string(Extension);
}

ModuleCopyResult CopyModule(const std::string& module, const std::string& output)
{
    const UniqueFd source(::open(module.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    struct stat sourceStatus {};
    if (!source || ::fstat(source.Get(), &sourceStatus) != 0 || !S_ISREG(sourceStatus.st_mode))
        return ModuleCopyResult::CannotReadModule;
    struct stat outputStatus {};
    if (::stat(output.c_str(), &outputStatus) == 0 && outputStatus.st_dev == sourceStatus.st_dev &&
        outputStatus.st_ino == sourceStatus.st_ino)
        return ModuleCopyResult::SameFile;

    const mode_t mode = ExecutableMode();
    UniqueFd target(::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, mode));
    // A file that existed keeps its old mode through O_TRUNC.
    if (!target || ::fchmod(target.Get(), mode) != 0)
        return ModuleCopyResult::CannotWriteOutput;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(source.Get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return ModuleCopyResult::CannotReadModule;
        if (count == 0)
            break;
        if (!WriteAll(target.Get(), buffer, static_cast<std::size_t>(count)))
            return ModuleCopyResult::CannotWriteOutput;
    }
    return target.Reset() ? ModuleCopyResult::Ok : ModuleCopyResult::CannotWriteOutput;
}
