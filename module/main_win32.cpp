// The self-decrypting module for Windows. Started without options (as a
// recipient does), it shows its dialog and takes the archive path from its
// command line; with options it runs the console mode of the Linux module
// over its own file.

#include "module/console_frontend.h"
#include "module/dialog_win32.h"
#include "module/module_build.h"
#include "platform/process_hardening.h"
#include "platform/win32_path.h"

#include <cstdio>
#include <io.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

// A quoted command line is the text between its first and its last
// character; an unquoted one is the path as it stands.
std::wstring ArchivePathFromCommandLine(std::wstring_view commandLine)
{
    if (!commandLine.empty() && commandLine.front() == L'"')
        return std::wstring(commandLine.substr(1, commandLine.size() >= 2 ? commandLine.size() - 2 : 0));
    return std::wstring(commandLine);
}

std::wstring OwnFileName()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

bool HasStream(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

// A program of the window subsystem gets no console of its own: it writes
// to the handles it inherited (pipes, files) or else to the console of
// the command prompt that started it.
void ConnectConsole()
{
    if (!HasStream(STD_OUTPUT_HANDLE) && AttachConsole(ATTACH_PARENT_PROCESS) != 0) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
        std::freopen("CONIN$", "r", stdin);
    }
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    // Texts are UTF-8 with bare line feeds; the bytes pass unchanged.
    _setmode(_fileno(stdout), 0x8000 /* _O_BINARY */);
    _setmode(_fileno(stderr), 0x8000);
}

int RunConsoleMode(const std::vector<std::string>& args)
{
    ConnectConsole();
    const std::string program = "archive";
    std::vector<const char*> pointers;
    for (std::size_t i = 1; i < args.size(); ++i)
        pointers.push_back(args[i].c_str());
    const ParsedConsoleArgs parsed = ParseConsoleArgs(static_cast<int>(pointers.size()), pointers.data(), program);
    if (!parsed.options)
        return parsed.exitStatus;
    const ConsoleOptions& options = *parsed.options;
    const ModuleBuild& build = ThisModuleBuild();
    const FilePayloadArchive archive(Utf8OfWide(OwnFileName()).value_or(""), build.payloadOffset);
    const auto fileSystem = MakeNativeExtractFileSystem();
    const ConsoleStreams streams{stdin, stdout, stderr};
    return RunConsole(options, build, archive, *fileSystem, streams);
}

} // namespace

int main()
{
    HardenProcess();
    const wchar_t* commandLine = GetCommandLineW();
    int count = 0;
    wchar_t** wideArgs = CommandLineToArgvW(commandLine, &count);
    std::vector<std::string> args;
    bool argsConverted = wideArgs != nullptr;
    for (int i = 0; argsConverted && i < count; ++i) {
        auto arg = Utf8OfWide(wideArgs[i]);
        argsConverted = arg.has_value();
        args.push_back(arg.value_or(""));
    }
    if (wideArgs != nullptr)
        LocalFree(wideArgs);

    // Only an option selects the console mode: a file dropped on the
    // program, "Open with" or an unquoted path with blanks brings plain
    // arguments, and those start the dialog as if there were none.
    const bool options = args.size() > 1 && args[1].starts_with('-');
    if (argsConverted && options) {
        const int status = RunConsoleMode(args);
        std::fflush(nullptr);
        ExitProcess(static_cast<UINT>(status));
    }

    const ModuleBuild& build = ThisModuleBuild();
    // An archive path that is not text cannot be opened: the dialog says so.
    // With arguments behind it the command line no longer is the path.
    const std::wstring path = count > 1 ? OwnFileName() : ArchivePathFromCommandLine(commandLine);
    const FilePayloadArchive archive(Utf8OfWide(path).value_or(""), build.payloadOffset);
    const auto fileSystem = MakeNativeExtractFileSystem();
    RunDialog(build, archive, *fileSystem);
    ExitProcess(0);
}
