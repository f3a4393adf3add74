#include "platform/win32_long_path.h"

#include "platform/win32_path.h"

#include <windows.h>

std::wstring ExtendedPath(std::u16string_view text)
{
    const std::wstring typed = WideOf(text);
    const DWORD needed = GetFullPathNameW(typed.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return {};
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(typed.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return {};
    full.resize(length);
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    if (full.rfind(L"\\\\?\\", 0) == 0)
        return full;
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring ExtendedPathOfUtf8(std::string_view utf8)
{
    const auto wide = WidePath(utf8);
    if (!wide || wide->empty())
        return {};
    return ExtendedPath(Utf16Of(*wide));
}
