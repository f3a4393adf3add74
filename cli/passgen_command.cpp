// ivqa passgen: random passphrases from the window program's CharTable
// over the library's random generator.

#include "common/char_table.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "common/result_messages.h"
#include "cli/diagnostics.h"
#include "cli/exit_codes.h"
#include "cli/subcommand_args.h"
#include "ivqa.h"
#include "platform/locked_buffer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr long DefaultPassphraseLength = 16;
constexpr long DefaultPassphraseCount = 4;

constexpr OptionSpec Options[] = {{'l', "length", true}, {'n', "count", true}, {'h', "help", false}};

constexpr char Usage[] =
    "usage: ivqa passgen [-l LENGTH] [-n COUNT]\n"
    "\n"
    "Prints COUNT random passphrases of printable ASCII characters, one a line.\n"
    "\n"
    "  -l, --length LENGTH   characters per passphrase, 6 to 64 (default 16)\n"
    "  -n, --count COUNT     how many, 1 to 50 (default 4)\n";

std::uint32_t LibraryRandom(void* buffer, std::uint32_t length)
{
    return IQ_RndGetBytes(buffer, length);
}

// Written straight to the descriptor: a passphrase goes through no stdio
// buffer that would outlive this call unwiped.
bool WriteLine(const char* text, std::size_t length)
{
    LockedBuffer<char> line(MaxPassphraseLength + 1);
    std::copy(text, text + length, line.data());
    line[length] = '\n';
    std::size_t done = 0;
    while (done <= length) {
        const ssize_t count = ::write(STDOUT_FILENO, line.data() + done, length + 1 - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        done += static_cast<std::size_t>(count);
    }
    return done == length + 1;
}

} // namespace

int RunPassgenCommand(CommandArgs args)
{
    constexpr std::string_view command = "passgen";
    int status = ExitSuccess;
    const auto parsed = ParseSubcommandArgs(args, Options, command, Usage, &status);
    if (!parsed)
        return status;
    if (!parsed->Operands().empty())
        return UsageError(command, "passgen takes no operands");
    const auto length = ParseNumber(parsed->Value("length").value_or(std::to_string(DefaultPassphraseLength)),
                                    MinPassphraseLength, MaxPassphraseLength);
    if (!length)
        return UsageError(command, "-l takes a length from 6 to 64");
    const auto count = ParseNumber(parsed->Value("count").value_or(std::to_string(DefaultPassphraseCount)),
                                   MinPassphraseCount, MaxPassphraseCount);
    if (!count)
        return UsageError(command, "-n takes a count from 1 to 50");

    CharTable table;
    if (!table.Shuffle(&LibraryRandom)) {
        PrintError(CoreResultText(IQ_RANDOM_ERROR));
        return IQ_RANDOM_ERROR;
    }
    LockedBuffer<char> passphrase(MaxPassphraseLength);
    status = ExitSuccess;
    for (long i = 0; i < *count && status == ExitSuccess; ++i) {
        if (!table.Generate(&LibraryRandom, static_cast<std::size_t>(*length), passphrase.data())) {
            PrintError(CoreResultText(IQ_RANDOM_ERROR));
            status = IQ_RANDOM_ERROR;
        } else if (!WriteLine(passphrase.data(), static_cast<std::size_t>(*length))) {
            PrintError("cannot write to standard output");
            status = ExitCannotCreate;
        }
    }
    return status;
}

