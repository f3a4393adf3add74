#pragma once
// Text between the UTF-8 and UTF-16 of the rest of the system and the wide
// strings of the Win32 calls (wchar_t is a UTF-16 unit there).

#include "platform/utf.h"

#include <optional>
#include <string>
#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 only");

inline std::wstring WideOf(std::u16string_view text)
{
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

inline std::u16string Utf16Of(std::wstring_view text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

// Null for text that is not UTF-8 or holds a NUL.
inline std::optional<std::wstring> WidePath(std::string_view utf8)
{
    if (utf8.find('\0') != std::string_view::npos)
        return std::nullopt;
    const auto units = Utf8ToUtf16(utf8);
    if (!units)
        return std::nullopt;
    return WideOf(*units);
}

inline std::optional<std::string> Utf8OfWide(std::wstring_view text)
{
    return Utf16ToUtf8(Utf16Of(text));
}
