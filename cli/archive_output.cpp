#include "cli/archive_output.h"

#include "platform/descriptor_io.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t ExecutableMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0755 & ~mask;
}

} // namespace

std::string_view ArchiveExtension(TargetSystem system)
{
    return system == TargetSystem::Windows ? ".exe" : ".run";
}

std::string ArchiveFileName(const std::string& requested, TargetSystem system)
{
    const std::string_view extension = ArchiveExtension(system);
    if (std::string_view(requested).ends_with(extension))
        return requested;
    return requested + std::string(extension);
}

TargetSystem SystemOfProgramHead(const std::uint8_t* head, std::size_t length)
{
    return length >= 2 && head[0] == 'M' && head[1] == 'Z' ? TargetSystem::Windows : TargetSystem::Linux;
}

std::optional<TargetSystem> SystemOfModuleFile(const std::string& path)
{
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    struct stat status {};
    if (!fd || ::fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    std::uint8_t head[2];
    ssize_t count = 0;
    do
        count = ::pread(fd.Get(), head, sizeof head, 0);
    while (count < 0 && errno == EINTR);
    if (count < 0)
        return std::nullopt;
    return SystemOfProgramHead(head, static_cast<std::size_t>(count));
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
    switch (CopyAll(source.Get(), target.Get())) {
    case CopyResult::ReadFailed:
        return ModuleCopyResult::CannotReadModule;
    case CopyResult::WriteFailed:
        return ModuleCopyResult::CannotWriteOutput;
    case CopyResult::Ok:
        break;
    }
    return target.Reset() ? ModuleCopyResult::Ok : ModuleCopyResult::CannotWriteOutput;
}
