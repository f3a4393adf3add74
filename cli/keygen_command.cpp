// ivqa keygen: a random keyfile from the library's random generator.

#include "cli/command_line.h"
#include "cli/commands.h"
#include "common/result_messages.h"
#include "cli/diagnostics.h"
#include "cli/exit_codes.h"
#include "common/keyfile_writer.h"
#include "cli/path_checks.h"
#include "cli/replace_question.h"
#include "cli/subcommand_args.h"
#include "ivqa.h"
#include "platform/path_calls.h"

#include <cerrno>
#include <cstdio>

namespace {

constexpr long DefaultKeyfileSize = 1024;

constexpr OptionSpec Options[] = {{'s', "size", true}, {'f', "force", false}, {'h', "help", false}};

constexpr char Usage[] =
    "usage: ivqa keygen [-s SIZE] [-f] FILE\n"
    "\n"
    "Writes a keyfile of SIZE random bytes to FILE (mode 0600). An existing FILE\n"
    "is replaced only after a question at a terminal, or with -f, and only once\n"
    "the new keyfile is complete.\n"
    "\n"
    "  -s, --size SIZE   bytes, 64 to 16384 (default 1024)\n"
    "  -f, --force       replace an existing FILE without asking\n";

std::uint32_t LibraryRandom(void* buffer, std::uint32_t length)
{
    return IQ_RndGetBytes(buffer, length);
}

} // namespace

int RunKeygenCommand(CommandArgs args)
{
    constexpr std::string_view command = "keygen";
    int status = ExitSuccess;
    const auto parsed = ParseSubcommandArgs(args, Options, command, Usage, &status);
    if (!parsed)
        return status;
    if (parsed->Operands().size() != 1 || parsed->Operands().front().empty())
        return UsageError(command, "keygen takes one FILE");
    const auto size = ParseNumber(parsed->Value("size").value_or(std::to_string(DefaultKeyfileSize)),
                                  MinKeyfileSize, MaxKeyfileSize);
    if (!size)
        return UsageError(command, "-s takes a size from 64 to 16384 bytes");

    const std::string& path = parsed->Operands().front();
    FileStatus found;
    const bool device = PathStatus(path, true, &found) && !IsRegularFile(found) && !IsDirectory(found);
    // Replacing a keyfile by mistake locks its owner out of every archive
    // made with it; a device such as /dev/stdout is just written to.
    if (!device) {
        // Before the question: a typo in the folder asks nothing.
        if (const std::string reason = OutputFolderProblem(path); !reason.empty()) {
            PrintFailure("Can not create keyfile!", path, reason);
            return ExitCannotCreate;
        }
        switch (MayReplace(path, parsed->Has("force"))) {
        case ReplaceAnswer::Proceed:
            break;
        case ReplaceAnswer::Declined:
            PrintError("nothing written");
            return ExitSuccess;
        case ReplaceAnswer::Refused:
            return UsageError(command, ReplaceRefusalText(path));
        }
    }
    errno = 0;
    switch (WriteKeyfile(path, static_cast<std::uint32_t>(*size), &LibraryRandom)) {
    case KeyfileResult::Ok:
        return ExitSuccess;
    case KeyfileResult::RandomFailed:
        PrintError(CoreResultText(IQ_RANDOM_ERROR));
        return IQ_RANDOM_ERROR;
    case KeyfileResult::CannotCreate:
        break;
    }
    PrintFailure("Can not create keyfile!", path, ReasonOf(errno));
    return ExitCannotCreate;
}
