#pragma once
// The rule for one component of a name on Windows, which also holds for a
// zip that may be unpacked there.

#include <string_view>

// NUL, the control characters and the units Windows reserves in a name.
bool IsWindowsForbiddenUnit(char16_t unit);

// One component Windows keeps as written: not empty, not "." or "..", no
// forbidden unit, no trailing dot or blank (paths drop them: "a." is "a").
bool IsPlainWindowsName(std::u16string_view name);
