// ivqa info: what an archive tells before any key is given.

#include "cli/archive_probe.h"
#include "cli/archive_refusal.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/exit_codes.h"
#include "cli/subcommand_args.h"
#include "module/display_text.h"
#include "module/extraction_engine.h"

#include <cstdio>

namespace {

constexpr std::string_view Command = "info";
constexpr OptionSpec Options[] = {{'h', "help", false}};

constexpr char Usage[] =
    "usage: ivqa info ARCHIVE\n"
    "\n"
    "Shows the language of the archive's module and the system it runs on, its\n"
    "cipher (for XChaCha20-Poly1305 also the cost of its key derivation), the\n"
    "size of its payload and its help text. Needs no passphrase, and so sees only\n"
    "the head of the payload: 'ivqa test' checks the rest.\n";

// The authenticated cipher stores what one guess at the passphrase costs;
// the others always hash the same number of rounds, which says nothing of
// this archive.
void PrintKeyDerivation(const ArchiveLayout& layout)
{
    if (layout.cipherId != CipherXChaCha20Poly1305)
        return;
    const unsigned passes = layout.sealedCost.passes;
    std::printf("Key cost:     Argon2id, %u %s over %u MiB%s\n", passes, passes == 1 ? "pass" : "passes",
                static_cast<unsigned>(layout.sealedCost.memoryKiB / 1024),
                SealedCostAccepted(layout.sealedCost) ? "" : " (beyond what a reader accepts)");
}

} // namespace

int RunInfoCommand(CommandArgs args)
{
    int status = ExitSuccess;
    const auto parsed = ParseSubcommandArgs(args, Options, Command, Usage, &status);
    if (!parsed)
        return status;
    if (parsed->Operands().size() != 1)
        return UsageError(Command, "info takes one ARCHIVE");
    std::string reason;
    const auto layout = ProbeArchive(parsed->Operands().front(), &reason);
    if (!layout)
        return RefuseArchive(parsed->Operands().front(), reason);
    const KnownModule& module = *layout->module;
    std::printf("Module:       %.*s (%.*s)\n", static_cast<int>(module.language.size()), module.language.data(),
                static_cast<int>(module.fileName.size()), module.fileName.data());
    const std::string_view system = TargetSystemName(module.system);
    std::printf("System:       %.*s\n", static_cast<int>(system.size()), system.data());
    const std::string_view cipher = CipherName(layout->cipherId);
    std::printf("Cipher:       %.*s\n", static_cast<int>(cipher.size()), cipher.data());
    PrintKeyDerivation(*layout);
    std::printf("Payload size: %llu bytes\n",
                static_cast<unsigned long long>(layout->fileSize - module.build.payloadOffset));
    std::printf("Help text:    %u characters\n", static_cast<unsigned>(layout->helpLength));
    if (!layout->help.empty()) {
        std::string shown = ForTerminal(ToDisplayUtf8(layout->help));
        if (shown.back() != '\n')
            shown.push_back('\n');
        std::printf("\n%s", shown.c_str());
    }
    return ExitSuccess;
}
