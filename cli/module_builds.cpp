#include "cli/module_builds.h"

#include "platform/path_calls.h"

// The build passes the same offsets that it pads the module files to.
#ifndef IVQA_PRIVATE_DIR_FROM_BIN
#error "the build must name the private folder relative to the programs' folder"
#endif

#if !defined(IVQA_PAYLOAD_OFFSET_EN) || !defined(IVQA_PAYLOAD_OFFSET_RU) || \
    !defined(IVQA_PAYLOAD_OFFSET_WIN_EN) || !defined(IVQA_PAYLOAD_OFFSET_WIN_RU)
#error "the payload offsets of all four modules must be defined by the build"
#endif

// A Windows build takes the help limits, texts and layout of the Linux build
// of its language; only its file and its payload offset differ.
std::span<const KnownModule> KnownModules()
{
    static const KnownModule modules[] = {
        {"en", TargetSystem::Linux, "English", "GUI_en.iqm",
         {IVQA_PAYLOAD_OFFSET_EN, 1426, 1426, &EnglishTexts, {267, 200, 60}}},
        {"ru", TargetSystem::Linux, "Russian", "GUI_ru.iqm",
         {IVQA_PAYLOAD_OFFSET_RU, 1430, 1430, &RussianTexts, {271, 197, 67}}},
        {"en", TargetSystem::Windows, "English", "GUI_en.exe.iqm",
         {IVQA_PAYLOAD_OFFSET_WIN_EN, 1426, 1426, &EnglishTexts, {267, 200, 60}}},
        {"ru", TargetSystem::Windows, "Russian", "GUI_ru.exe.iqm",
         {IVQA_PAYLOAD_OFFSET_WIN_RU, 1430, 1430, &RussianTexts, {271, 197, 67}}},
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
