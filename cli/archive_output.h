#pragma once
// The file a new archive is written to: its name, and the module that the
// library appends the payload to.

#include "common/module_files.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
