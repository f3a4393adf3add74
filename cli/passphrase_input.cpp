#include "cli/passphrase_input.h"

#include "module/extraction_engine.h"
#include "module/terminal_input.h"
#include "platform/utf.h"

#include <cstring>
#include <string_view>

namespace {

long Prompt(std::FILE* in, std::FILE* prompts, const char* text, char* buffer, std::size_t capacity)
{
    std::fputs(text, prompts);
    std::fflush(prompts);
    return ReadInputLine(in, buffer, capacity, true);
}

} // namespace

void ArchivePassphrase::Wipe()
{
    bytes_.Wipe();
    confirmation_.Wipe();
    units_.Wipe();
    unitsLength_ = 0;
}

PassphraseStatus ArchivePassphrase::Read(std::FILE* in, std::FILE* prompts, bool haveKeyfile, bool confirm)
{
    const bool terminal = IsTerminal(in);
    const long read = terminal ? Prompt(in, prompts, "Passphrase: ", bytes_.data(), bytes_.size())
                               : ReadInputLine(in, bytes_.data(), bytes_.size(), false);
    const std::size_t length = read < 0 ? 0 : static_cast<std::size_t>(read);
    if (length == 0 && !haveKeyfile)
        return PassphraseStatus::Missing;
    if (length == bytes_.size())
        return PassphraseStatus::TooLong;
    if (terminal && confirm && length > 0) {
        const long again = Prompt(in, prompts, "Confirm passphrase: ", confirmation_.data(), confirmation_.size());
        if (again < 0 || static_cast<std::size_t>(again) != length ||
            std::memcmp(bytes_.data(), confirmation_.data(), length) != 0)
            return PassphraseStatus::Mismatch;
    }
    if (!Utf8ToUtf16(std::string_view(bytes_.data(), length), units_.data(), units_.size() - 1, &unitsLength_))
        return PassphraseStatus::NotUtf8;
    units_[unitsLength_] = u'\0';
    if (unitsLength_ > MaxPassphraseUnits)
        return PassphraseStatus::TooLong;
    return PassphraseStatus::Ok;
}

std::string PassphraseStatusText(PassphraseStatus status)
{
    switch (status) {
    case PassphraseStatus::Ok:
        return {};
    case PassphraseStatus::Missing:
        return "Enter passphrase or select keyfile!";
    case PassphraseStatus::Mismatch:
        return "Passphrases do not match!";
    case PassphraseStatus::NotUtf8:
        return "the passphrase is not valid UTF-8";
    case PassphraseStatus::TooLong:
        return "the passphrase is longer than " + std::to_string(MaxPassphraseUnits) +
               " characters, which is all the archive can use";
    }
    return {};
}
