#pragma once
// Whether an existing file may be replaced by a new one of its name: asked
// at a terminal, allowed by -f/--force, refused otherwise.

#include <string>
#include <string_view>

enum class ReplaceAnswer {
    Proceed, // nothing there, --force, or the user said yes
    Declined,
    Refused, // no terminal to ask at and no --force: a usage error
};

ReplaceAnswer MayReplace(const std::string& path, bool force);

// The usage error text for ReplaceAnswer::Refused.
std::string ReplaceRefusalText(std::string_view shownPath);
