// Reads or sets the text of a control in another process's window, for the
// window tests under Wine: `dialog_text TITLE ID` prints the text as UTF-8
// (of the first visible window whose title holds TITLE and that has the
// control; TITLE "*" takes any: a run shows its progress in the title);
// `dialog_text TITLE ID HEX` sets it to the UTF-16 units given in hex (four
// digits each), which may hold what no keyboard types, such as an unpaired
// surrogate. Exit status 1 when the window or control is not there.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Search {
    std::wstring title;
    int control;
    HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM data)
{
    auto& search = *reinterpret_cast<Search*>(data);
    wchar_t title[512] = {};
    GetWindowTextW(window, title, 512);
    const bool titleFits = search.title == L"*" || std::wstring(title).find(search.title) != std::wstring::npos;
    if (IsWindowVisible(window) && titleFits && GetDlgItem(window, search.control) != nullptr) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3 && argc != 4)
        return 2;
    Search search{argv[1], static_cast<int>(std::wcstol(argv[2], nullptr, 10))};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    const HWND control = search.found != nullptr ? GetDlgItem(search.found, search.control) : nullptr;
    if (control == nullptr)
        return 1;
    if (argc == 4) {
        std::wstring units;
        for (const wchar_t* hex = argv[3]; hex[0] != L'\0' && hex[1] != L'\0' && hex[2] != L'\0' && hex[3] != L'\0';
             hex += 4)
            units += static_cast<wchar_t>(std::wcstoul(std::wstring(hex, 4).c_str(), nullptr, 16));
        return SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(units.c_str())) != 0 ? 0 : 1;
    }
    const LRESULT length = SendMessageW(control, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got = SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(got));
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    return 0;
}
