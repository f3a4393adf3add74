#include "platform/windows_names.h"

bool IsWindowsForbiddenUnit(char16_t unit)
{
    // ':' names a drive ("C:x") or an alternate data stream ("f:s").
    return unit < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(unit) != std::u16string_view::npos;
}

bool IsPlainWindowsName(std::u16string_view name)
{
    if (name.empty() || name == u"." || name == u"..")
        return false;
    for (const char16_t unit : name) {
        if (IsWindowsForbiddenUnit(unit))
            return false;
    }
    return name.back() != u'.' && name.back() != u' ';
}
