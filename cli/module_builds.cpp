#include "cli/module_builds.h"

#include <climits>
#include <unistd.h>

// The build passes the same offsets that it pads the module files to.
#if !defined(IVQA_PAYLOAD_OFFSET_EN) || !defined(IVQA_PAYLOAD_OFFSET_RU)
#error "the payload offsets of both modules must be defined by the build"
#endif

std::span<const KnownModule> KnownModules()
{
    static const KnownModule modules[] = {
        {"en", "English", "GUI_en.iqm", {IVQA_PAYLOAD_OFFSET_EN, 1426, 1426, &EnglishTexts, {267, 200, 60}}},
        {"ru", "Russian", "GUI_ru.iqm", {IVQA_PAYLOAD_OFFSET_RU, 1430, 1430, &RussianTexts, {271, 197, 67}}},
    };
    return modules;
}

const KnownModule* FindKnownModule(std::string_view key)
{
    for (const KnownModule& module : KnownModules()) {
        if (module.key == key)
            return &module;
    }
    return nullptr;
}

std::string ProgramDirectory()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    const std::string program(path, static_cast<std::size_t>(length));
    const std::size_t slash = program.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : program.substr(0, slash);
}
