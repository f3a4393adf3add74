// library_driver COMMAND ...: ivqa.dll called as any Windows program calls
// it, through its import library, for the tests under Wine. Names the
// library reports go to standard output as "name: ..." and "skip: ...";
// the exit status is the library's result.
//
//   create ARCHIVE CIPHER PASSPHRASE KEYFILE HELPFILE LEVEL d:DIR|f:FILE...
//          (an empty PASSPHRASE or KEYFILE is none; HELPFILE "-" is none)
//   random LENGTH OUTPUT
//   wipe-file|wipe-dir|rm-file|rm-dir PATH yes|no   (the skip answer)
//   attributes PATH [HEX]     (sets the attribute word, then prints it)
//   exports                   (the eleven names, looked up undecorated)

#include "ivqa.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <windows.h>

// In C, over the same header (c_caller.c).
extern "C" CoreResult CallerFillsRandom(void* buffer, uint32_t length);

namespace {

bool g_skipAnswer = false;

void Print(const char* label, const wchar_t* text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(length > 0 ? length : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), length, nullptr, nullptr);
    std::printf("%s: %s\n", label, utf8.c_str());
}

void OnName(const wchar_t* name)
{
    Print("name", name);
}

int32_t OnSkip(const wchar_t* name)
{
    Print("skip", name);
    return g_skipAnswer ? 1 : 0;
}

// The help file is UTF-8; the library takes UTF-16.
std::wstring ReadHelp(const wchar_t* path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::wstring wide(text.size() + 1, L'\0');
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                          static_cast<int>(wide.size()));
    wide.resize(units > 0 ? units : 0);
    return wide;
}

const wchar_t* OrNull(const wchar_t* text)
{
    return *text != L'\0' ? text : nullptr;
}

int Create(int count, wchar_t** args)
{
    if (count < 9)
        return 64;
    const std::wstring help = std::wcscmp(args[6], L"-") == 0 ? std::wstring() : ReadHelp(args[6]);
    SdaContext* context = nullptr;
    CoreResult result = IQ_SDAInit(&context, args[2], OrNull(args[4]), OrNull(args[5]),
                                   static_cast<uint32_t>(std::wcstoul(args[3], nullptr, 10)),
                                   help.empty() ? nullptr : help.c_str(), OnName, nullptr, nullptr, OnSkip);
    const int32_t level = static_cast<int32_t>(std::wcstol(args[7], nullptr, 10));
    for (int i = 8; result == IQ_OK && i < count; ++i) {
        const wchar_t* entry = args[i] + 2;
        result = args[i][0] == L'd' ? IQ_SDAAddDir(context, entry, level) : IQ_SDAAddFile(context, entry, level);
    }
    IQ_SDAFinal(context);
    return static_cast<int>(result);
}

int Random(int count, wchar_t** args)
{
    if (count != 4)
        return 64;
    std::vector<unsigned char> bytes(std::wcstoul(args[2], nullptr, 10));
    const CoreResult result = CallerFillsRandom(bytes.data(), static_cast<uint32_t>(bytes.size()));
    std::ofstream out(args[3], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return out ? static_cast<int>(result) : 70;
}

int Remove(const wchar_t* command, const wchar_t* path)
{
    if (std::wcscmp(command, L"rm-file") == 0)
        return static_cast<int>(IQ_RmFile(path, OnName, OnSkip));
    if (std::wcscmp(command, L"rm-dir") == 0)
        return static_cast<int>(IQ_RmDir(path, OnName, OnSkip));
    WipeContext* context = nullptr;
    CoreResult result = IQ_WipeInit(&context, 2, 1, OnName, nullptr, nullptr, OnSkip);
    if (result == IQ_OK)
        result = std::wcscmp(command, L"wipe-dir") == 0 ? IQ_WipeDir(context, path) : IQ_WipeFile(context, path);
    IQ_WipeFinal(context);
    return static_cast<int>(result);
}

int Attributes(int count, wchar_t** args)
{
    if (count == 4 && SetFileAttributesW(args[2], std::wcstoul(args[3], nullptr, 16)) == 0)
        return 1;
    std::printf("attributes: %lx\n", GetFileAttributesW(args[2]));
    return 0;
}

int Exports()
{
    static const char* const names[] = {"IQ_SDAInit",  "IQ_SDAAddFile", "IQ_SDAAddDir", "IQ_SDAFinal",
                                        "IQ_WipeInit", "IQ_WipeFile",   "IQ_WipeDir",   "IQ_WipeFinal",
                                        "IQ_RmFile",   "IQ_RmDir",      "IQ_RndGetBytes"};
    const HMODULE library = GetModuleHandleW(L"ivqa.dll");
    int missing = 0;
    for (const char* name : names)
        if (library == nullptr || GetProcAddress(library, name) == nullptr) {
            std::printf("missing: %s\n", name);
            ++missing;
        }
    return missing;
}

} // namespace

int main()
{
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr || count < 2)
        return 64;
    _setmode(_fileno(stdout), _O_BINARY); // lines end in LF, as on Linux
    const std::wstring command = args[1];
    int status = 64;
    if (command == L"create")
        status = Create(count, args);
    else if (command == L"random")
        status = Random(count, args);
    else if (command == L"attributes" && (count == 3 || count == 4))
        status = Attributes(count, args);
    else if (command == L"exports")
        status = Exports();
    else if (count == 4) {
        g_skipAnswer = std::wcscmp(args[3], L"yes") == 0;
        status = Remove(args[1], args[2]);
    }
    LocalFree(args);
    std::fflush(stdout);
    return status;
}
