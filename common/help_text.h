#pragma once
// The help text of a new archive, stored as the recipient's module shows it:
// every line of the creator's text followed by CR LF, the last one too, at
// most 1,024 UTF-16 units in all. The creators hold the text as a memo does:
// lines joined by LF, where a last line that is empty (the text ends in a line
// break) is no line, and an empty memo is no help text at all.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::size_t MaxStoredHelpUnits = 1024;

// Memo text from the lines of a text file: line ends CR LF, LF or a lone CR.
// NULs are dropped: one would end the library's terminated copy early.
std::u16string MemoTextFromLines(std::u16string_view text);

std::u16string StoredHelpFromMemo(std::u16string_view memo);
std::size_t StoredHelpLength(std::u16string_view memo);

// The memo shortened from its end until its help text is at most `limit`
// units long; unchanged when it already is. Never ends in half of a
// surrogate pair.
std::u16string_view MemoCutToLimit(std::u16string_view memo, std::size_t limit = MaxStoredHelpUnits);

struct StoredHelp {
    std::u16string text; // empty: no help text
    bool cut = false;    // the file held more than fits
};

// The help text from the bytes of a UTF-8 text file; null when they are not
// UTF-8. A leading byte-order mark is dropped.
std::optional<StoredHelp> StoredHelpFromUtf8(std::string_view utf8);
