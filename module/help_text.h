#pragma once
// The help that an archive carries in plain text ahead of its header, read
// when the module starts, before anything is decrypted.

#include "module/module_build.h"
#include "module/payload_source.h"

#include <cstdint>
#include <optional>
#include <string>

struct LoadedHelp {
    std::uint16_t helpLength = 0; // as stored: locates the header
    std::u16string text;          // the about text, then the archive's help
};

// Null when the payload cannot be read or its help length is above the
// build's limit. A help text that passes the limit but not the room behind
// the about text is shown cut to that room; an embedded NUL ends it.
std::optional<LoadedHelp> LoadHelpText(const PayloadArchive& archive, const ModuleBuild& build);
