#include "common/module_files.h"

#include "module/payload_offsets.h"

#include "platform/path_calls.h"

#ifndef IVQA_PRIVATE_DIR_FROM_BIN
#error "the build must name the private folder relative to the programs' folder"
#endif

// A Windows build takes the help limits, texts and layout of the Linux build
// of its language; only its file and its payload offset differ.
std::span<const KnownModule> KnownModules()
{
    static const KnownModule modules[] = {
        {"en", TargetSystem::Linux, "English", "GUI_en.iqm",
         WithPayloadOffset(EnglishModuleBuild, IVQA_PAYLOAD_OFFSET_EN)},
        {"ru", TargetSystem::Linux, "Russian", "GUI_ru.iqm",
         WithPayloadOffset(RussianModuleBuild, IVQA_PAYLOAD_OFFSET_RU)},
        {"en", TargetSystem::Windows, "English", "GUI_en.exe.iqm",
         WithPayloadOffset(EnglishModuleBuild, IVQA_PAYLOAD_OFFSET_WIN_EN)},
        {"ru", TargetSystem::Windows, "Russian", "GUI_ru.exe.iqm",
         WithPayloadOffset(RussianModuleBuild, IVQA_PAYLOAD_OFFSET_WIN_RU)},
    };
    return modules;
}

const KnownModule* FindKnownModule(std::string_view key, TargetSystem system)
{
    for (const KnownModule& module : KnownModules()) {
        if (module.key == key && module.system == system)
            return &module;
    }
    return nullptr;
}

std::string_view TargetSystemName(TargetSystem system)
{
    return system == TargetSystem::Windows ? "Windows" : "Linux";
}

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

std::string ProgramDirectory()
{
    const std::string program = ProgramFilePath();
    if (program.empty())
        return ".";
    const std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : program.substr(0, slash);
}

std::string ModuleFilePath(std::string_view fileName)
{
    const std::string programDir = ProgramDirectory();
    const std::string beside = programDir + "/" + std::string(fileName);
    FileStatus status;
    if (PathStatus(beside, true, &status))
        return beside;
    const std::string installed =
        programDir + "/" IVQA_PRIVATE_DIR_FROM_BIN "/" + std::string(fileName);
    return PathStatus(installed, true, &status) ? installed : beside;
}

namespace {

bool HoldsAModule(const std::string& dir)
{
    for (const KnownModule& module : KnownModules()) {
        FileStatus status;
        if (PathStatus(dir + "/" + std::string(module.fileName), true, &status))
            return true;
    }
    return false;
}

} // namespace

std::string ModuleDirectory(const std::string& programDir, std::string_view privateDirFromProgram)
{
    if (HoldsAModule(programDir))
        return programDir;
    const std::string installed = programDir + "/" + std::string(privateDirFromProgram);
    return HoldsAModule(installed) ? installed : programDir;
}
