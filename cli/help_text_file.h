#pragma once
// The help text of a new archive from a UTF-8 text file, stored the way the
// creation dialog stores its memo: every line followed by CR LF, at most
// 1,024 UTF-16 units in all.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::size_t MaxStoredHelpUnits = 1024;

struct StoredHelp {
    std::u16string text; // empty: no help text
    bool cut = false;    // the file held more than fits
};

// Null when the text is not UTF-8. A leading byte-order mark is dropped;
// lines may end in LF or CR LF; the end of the last line needs neither.
std::optional<StoredHelp> StoredHelpFromUtf8(std::string_view utf8);

enum class HelpFileStatus { Ok, CannotRead, NotUtf8 };

HelpFileStatus ReadHelpFile(const std::string& path, StoredHelp* help);
