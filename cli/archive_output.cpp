#include "cli/archive_output.h"

#include "platform/unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TargetSystem SystemOfProgramHead(const std::uint8_t* head, std::size_t length)
{
    return length >= 2 && head[0] == 'M' && head[1] == 'Z' ? TargetSystem::Windows : TargetSystem::Linux;
}

ModuleFileCheck CheckModuleFile(const std::string& path, TargetSystem system)
{
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    struct stat status {};
    if (!fd || ::fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return ModuleFileCheck::Unreadable;
    std::uint8_t head[4] = {};
    ssize_t count = 0;
    do
        count = ::pread(fd.Get(), head, sizeof head, 0);
    while (count < 0 && errno == EINTR);
    if (count < 0)
        return ModuleFileCheck::Unreadable;
    static constexpr std::uint8_t ElfHead[4] = {0x7f, 'E', 'L', 'F'};
    const bool headFits = system == TargetSystem::Windows
                              ? SystemOfProgramHead(head, static_cast<std::size_t>(count)) == TargetSystem::Windows
                              : count == 4 && std::equal(head, head + 4, ElfHead);
    bool lengthFits = false;
    for (const KnownModule& module : KnownModules())
        lengthFits = lengthFits || (module.system == system &&
                                    static_cast<std::uint64_t>(status.st_size) == module.build.payloadOffset);
    return headFits && lengthFits ? ModuleFileCheck::Ours : ModuleFileCheck::NotOurs;
}
