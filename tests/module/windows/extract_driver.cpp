// extract_driver ARCHIVE OFFSET [module options]: the console mode of the
// Windows module over ARCHIVE with its payload at OFFSET, so that tests can
// hand it archives behind a module file of any length. The passphrase comes
// on standard input; the exit status is the module's console status.

#include "module/console_frontend.h"
#include "platform/process_hardening.h"
#include "platform/win32_path.h"

#include <cstdio>
#include <cstdlib>
#include <io.h>
#include <string>
#include <vector>
#include <windows.h>

int main()
{
    HardenProcess();
    int count = 0;
    wchar_t** wideArgs = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wideArgs == nullptr || count < 3) {
        std::fputs("usage: extract_driver ARCHIVE OFFSET [options]\n", stderr);
        return ExitUsage;
    }
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i)
        args.push_back(Utf8OfWide(wideArgs[i]).value_or(""));
    LocalFree(wideArgs);

    _setmode(_fileno(stdout), 0x8000 /* _O_BINARY */);
    _setmode(_fileno(stderr), 0x8000);
    std::vector<const char*> options;
    for (std::size_t i = 3; i < args.size(); ++i)
        options.push_back(args[i].c_str());
    std::string error;
    const auto parsed = ParseConsoleOptions(static_cast<int>(options.size()), options.data(), &error);
    if (!parsed) {
        std::fprintf(stderr, "extract_driver: %s\n", error.c_str());
        return ExitUsage;
    }
    const ModuleBuild build = WithPayloadOffset(EnglishModuleBuild, std::strtoull(args[2].c_str(), nullptr, 10));
    const FilePayloadArchive archive(args[1], build.payloadOffset);
    const auto fileSystem = MakeNativeExtractFileSystem();
    const ConsoleStreams streams{stdin, stdout, stderr};
    return RunConsole(*parsed, build, archive, *fileSystem, streams);
}
