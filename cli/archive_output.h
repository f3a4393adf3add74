#pragma once
// The file a new archive is written to: its name, and the copy of the
// module that the library appends the payload to.

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

// The system the module file at `path` runs on; null when it cannot be read.
std::optional<TargetSystem> SystemOfModuleFile(const std::string& path);

enum class ModuleCopyResult {
    Ok,
    CannotReadModule,
    SameFile, // the output would replace the module it is copied from
    CannotWriteOutput,
};

// Copies the module byte for byte to `output`, replacing a file of that
// name, and gives the copy mode 0755 less the umask.
ModuleCopyResult CopyModule(const std::string& module, const std::string& output);
