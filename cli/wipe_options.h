#pragma once
// -m and -n of the commands that wipe: ivqa wipe, and ivqa create with
// --wipe-inputs.

#include "cli/command_line.h"

#include <cstdint>
#include <optional>
#include <string>

struct WipeSettings {
    std::uint32_t method = 1; // "DoD-5220.22-M"
    std::uint32_t passes = 8;
};

// Null with `*error` set when -m or -n is not one the wipe engine takes.
std::optional<WipeSettings> ParseWipeSettings(const ParsedArguments& parsed, std::string* error);
