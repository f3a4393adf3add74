#pragma once
// The passphrase of a new archive: typed twice without echo on a terminal,
// otherwise the first line of standard input. Held in locked memory that is
// wiped when the owner goes.

#include "platform/locked_buffer.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

enum class PassphraseStatus {
    Ok,         // possibly empty (a keyfile alone)
    Missing,    // empty and no keyfile: "Enter passphrase or select keyfile!"
    Mismatch,   // "Passphrases do not match!"
    NotUtf8,
    TooLong,    // more than the module hashes
};

class ArchivePassphrase {
public:
    // Prompts go to `prompts`; `haveKeyfile` allows an empty passphrase.
    // `confirm`: a new archive's passphrase is typed twice on a terminal.
    PassphraseStatus Read(std::FILE* in, std::FILE* prompts, bool haveKeyfile, bool confirm = true);

    // Terminated UTF-16, or null for an empty passphrase.
    const char16_t* Units() const { return unitsLength_ == 0 ? nullptr : units_.data(); }
    std::u16string_view View() const { return {units_.data(), unitsLength_}; }

    // Wipes both buffers at once, once the library has hashed them.
    void Wipe();

private:
    // 255 units never need more than 765 bytes of UTF-8; a line that fills
    // the buffer is too long whatever it holds.
    LockedBuffer<char> bytes_{1024};
    LockedBuffer<char> confirmation_{1024};
    LockedBuffer<char16_t> units_{1025};
    std::size_t unitsLength_ = 0;
};

// Text of a status for the error line; empty for Ok.
std::string PassphraseStatusText(PassphraseStatus status);
