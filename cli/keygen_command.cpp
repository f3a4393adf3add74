// ivqa keygen: a random keyfile from the library's random generator.

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/core_messages.h"
#include "cli/diagnostics.h"
#include "cli/exit_codes.h"
#include "cli/keyfile_writer.h"
#include "cli/subcommand_args.h"
#include "ivqa.h"

#include <cstdio>

namespace {

constexpr long DefaultKeyfileSize = 1024;

constexpr OptionSpec Options[] = {{'s', "size", true}, {'h', "help", false}};

constexpr char Usage[] =
    "usage: ivqa keygen [-s SIZE] FILE\n"
    "\n"
    "Writes a keyfile of SIZE random bytes to FILE (replaced if it exists,\n"
    "mode 0600).\n"
    "\n"
    "  -s, --size SIZE   bytes, 64 to 16384 (default 1024)\n";

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

    switch (WriteKeyfile(parsed->Operands().front(), static_cast<std::uint32_t>(*size), &LibraryRandom)) {
    case KeyfileResult::Ok:
        return ExitSuccess;
    case KeyfileResult::RandomFailed:
        PrintError(CoreResultText(IQ_RANDOM_ERROR));
        return IQ_RANDOM_ERROR;
    case KeyfileResult::CannotCreate:
        break;
    }
    PrintError("Can not create keyfile!");
    return ExitCannotCreate;
}
