#include "cli/archive_output.h"

#include "platform/path_calls.h"
#include "platform/unique_fd.h"

#include <algorithm>

TargetSystem SystemOfProgramHead(const std::uint8_t* head, std::size_t length)
{
    return length >= 2 && head[0] == 'M' && head[1] == 'Z' ? TargetSystem::Windows : TargetSystem::Linux;
}

ModuleFileCheck CheckModuleFile(const std::string& path, TargetSystem system)
{
    const UniqueFd fd(OpenForReading(path));
    FileStatus status;
    if (!fd || !QueryOpenFileStatus(fd.Get(), &status) || !IsRegularFile(status))
        return ModuleFileCheck::Unreadable;
    std::uint8_t head[4] = {};
    const long count = ReadSomeAt(fd.Get(), 0, head, sizeof head);
    if (count < 0)
        return ModuleFileCheck::Unreadable;
    static constexpr std::uint8_t ElfHead[4] = {0x7f, 'E', 'L', 'F'};
    const bool headFits = system == TargetSystem::Windows
                              ? SystemOfProgramHead(head, static_cast<std::size_t>(count)) == TargetSystem::Windows
                              : count == 4 && std::equal(head, head + 4, ElfHead);
    bool lengthFits = false;
    for (const KnownModule& module : KnownModules())
        lengthFits = lengthFits || (module.system == system &&
                                    status.size == module.build.payloadOffset);
    return headFits && lengthFits ? ModuleFileCheck::Ours : ModuleFileCheck::NotOurs;
}
