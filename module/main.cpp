// The self-decrypting module: the archive is this program's own file, its
// payload at the build's PayloadOffset.

#include "module/console_frontend.h"
#include "module/dialog_window.h"
#include "module/module_build.h"
#include "module/x11_runtime.h"
#include "platform/process_hardening.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool HasDisplay()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

std::string ProgramName(const char* argv0)
{
    if (argv0 == nullptr || *argv0 == '\0')
        return "archive";
    const char* slash = std::strrchr(argv0, '/');
    return slash != nullptr ? slash + 1 : argv0;
}

} // namespace

int main(int argc, char** argv)
{
    HardenProcess();
    const std::string program = ProgramName(argc > 0 ? argv[0] : nullptr);
    const ParsedConsoleArgs parsed = ParseConsoleArgs(argc > 0 ? argc - 1 : 0, argv + (argc > 0 ? 1 : 0), program);
    if (!parsed.options)
        return parsed.exitStatus;
    const ConsoleOptions& options = *parsed.options;

    const ModuleBuild& build = ThisModuleBuild();
    // The kernel's link to the running file: it survives a rename of the
    // archive while it runs.
    const FilePayloadArchive archive("/proc/self/exe", build.payloadOffset);
    const auto fileSystem = MakeNativeExtractFileSystem();

    bool console = options.console || options.list || options.test || !HasDisplay();
    if (!console) {
        const std::string missing = LoadX11Libraries();
        if (!missing.empty()) {
            std::fprintf(stderr, "%s: no window without the X libraries (%s); going on in console mode\n",
                         program.c_str(), missing.c_str());
            console = true;
        }
    }
    if (!console)
        RunWindowMode(build, archive, *fileSystem); // returns only without a display
    const ConsoleStreams streams{stdin, stdout, stderr};
    return RunConsole(options, build, archive, *fileSystem, streams);
}
