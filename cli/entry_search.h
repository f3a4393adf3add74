#pragma once
// The library names an entry inside a folder walk by its last component
// only; messages need it where the user can find it.

#include <string>
#include <string_view>

// The path, below `folder` and led by it, of an entry named `name`: one
// whose status cannot be read (following links when `followLinks`) if
// there is such, else the first found. Empty when none is found.
std::string FindEntryBelow(const std::string& folder, std::string_view name, bool followLinks);
