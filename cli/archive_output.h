#pragma once
// The file a new archive is written to: its name, and the copy of the
// module that the library appends the payload to.

#include <string>

// Appends ".run" unless the name already ends in exactly ".run" (compared
// case-sensitively, as the window program does with its extension).
std::string ArchiveFileName(const std::string& requested);

enum class ModuleCopyResult {
    Ok,
    CannotReadModule,
    SameFile, // the output would replace the module it is copied from
    CannotWriteOutput,
};

// Copies the module byte for byte to `output`, replacing a file of that
// name, and gives the copy mode 0755 less the umask.
ModuleCopyResult CopyModule(const std::string& module, const std::string& output);
