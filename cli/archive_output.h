#pragma once
// The file a new archive is written to: its name, and the module that the
// library appends the payload to.

#include "cli/module_builds.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// ".run" for Linux, ".exe" for Windows.
std::string_view ArchiveExtension(TargetSystem system);

// Appends the system's extension unless the name already ends in exactly it
// (compared case-sensitively, as the window program does).
std::string ArchiveFileName(const std::string& requested, TargetSystem system);

// A Windows program begins with "MZ"; anything else is taken for a Linux
// module (the stand-ins of builds without the real modules are zeros).
TargetSystem SystemOfProgramHead(const std::uint8_t* head, std::size_t length);

enum class ModuleFileCheck {
    Ours,
    Unreadable,
    NotOurs, // not as long as one of our builds for the system, or not its kind of program
};

// Whether `path` is one of our modules for `system`: its length is the
// payload offset one of that system's builds is padded to, and it begins
// with that system's executable header. Anything else would give an
// archive that nothing can read.
ModuleFileCheck CheckModuleFile(const std::string& path, TargetSystem system);
