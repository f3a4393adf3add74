#pragma once
// Paths handed to the Win32 calls in the "\\?\" form: the system takes them
// literally (no "..", trailing-dot or device-name rewriting) and they are
// not bound to MAX_PATH.

#include <string>
#include <string_view>

// The user's text as an absolute "\\?\" path without a trailing backslash
// (a drive root keeps its own); empty when the system cannot resolve it.
std::wstring ExtendedPath(std::u16string_view text);

// The same for a UTF-8 path; empty for text that is not UTF-8.
std::wstring ExtendedPathOfUtf8(std::string_view utf8);
