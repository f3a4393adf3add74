// ivqa browser-page: a copy of ivqa-extract.html to send along with an
// archive, for recipients who can run neither module.

#include "cli/browser_page.h"
#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/exit_codes.h"
#include "common/module_files.h"
#include "cli/subcommand_args.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr char PageName[] = "ivqa-extract.html";

constexpr OptionSpec Options[] = {{'h', "help", false}};

constexpr char Usage[] =
    "usage: ivqa browser-page PATH\n"
    "\n"
    "Writes a copy of ivqa-extract.html to PATH (into it, when PATH is a\n"
    "folder; a file of that name is replaced). Opened in any current browser,\n"
    "offline, the page restores the archives of every module and cipher and\n"
    "hands the files over as one .zip download.\n";

} // namespace

std::optional<std::string> BrowserPagePath()
{
    const fs::path path = fs::path(ModuleFilePath(PageName)).lexically_normal();
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        return std::nullopt;
    return path.string();
}

void PrintBrowserPageNote()
{
    if (const auto page = BrowserPagePath())
        PrintNote("a recipient without Linux or Windows opens it in a browser with " + *page +
                   " (ivqa browser-page writes a copy to send along)");
}

int RunBrowserPageCommand(CommandArgs args)
{
    constexpr std::string_view command = "browser-page";
    int status = ExitSuccess;
    const auto parsed = ParseSubcommandArgs(args, Options, command, Usage, &status);
    if (!parsed)
        return status;
    if (parsed->Operands().size() != 1 || parsed->Operands().front().empty())
        return UsageError(command, "browser-page takes one PATH");
    const auto page = BrowserPagePath();
    if (!page) {
        PrintError(std::string("this build has no ") + PageName + " beside the program");
        return ExitNoInput;
    }
    fs::path target(parsed->Operands().front());
    std::error_code error;
    if (fs::is_directory(target, error))
        target /= PageName;
    // Written beside the target first, so that a failed copy never leaves a
    // cut page under the name that is sent along.
    fs::path partial = target;
    partial += ".part";
    fs::copy_file(*page, partial, fs::copy_options::overwrite_existing, error);
    if (!error)
        fs::rename(partial, target, error);
    if (error) {
        const std::string reason = error.message();
        fs::remove(partial, error);
        PrintError("Can not create " + target.string() + "! " + reason + ".");
        return ExitCannotCreate;
    }
    std::printf("%s\n", target.string().c_str());
    return ExitSuccess;
}
