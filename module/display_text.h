#pragma once
// Text from an archive (help, names) on its way to a screen.

#include <string>
#include <string_view>

// UTF-16 to UTF-8; a unit that is not part of a valid character becomes
// U+FFFD, since what is shown need not round-trip.
std::string ToDisplayUtf8(std::u16string_view text);

// For a terminal: control characters other than line feed and tab become
// '?', so that an archive cannot send escape sequences; CR LF becomes LF.
std::string ForTerminal(std::string_view utf8);
