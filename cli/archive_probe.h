#pragma once
// Finds the payload of an archive without running it. The module gives no
// sign of where its file ends, so each known PayloadOffset is tried: the one
// where a help length within that build's limit is followed by a plausible
// header (a CipherId 0 to 4 with zero bytes where the writer writes zeros,
// or 5 with a nonzero key-derivation cost; a salt that is not all zero) in a file long enough to hold both. The builds
// of the system that the archive's head names are tried before the others.

#include "common/module_files.h"
#include "core/sealed_key.h"

#include <cstdint>
#include <optional>
#include <string>

struct ArchiveLayout {
    const KnownModule* module = nullptr;
    std::uint64_t fileSize = 0;
    std::uint16_t helpLength = 0;
    std::u16string help; // the archive's own help text, as stored
    std::uint32_t cipherId = 0;
    SealedCost sealedCost; // the authenticated cipher's Argon2id cost
};

// Null when the file cannot be read or matches no known module, with
// `*reason` set to why: the system's reason, the file's kind, a payload cut
// short before its header ends, or no payload found at all.
std::optional<ArchiveLayout> ProbeArchive(const std::string& path, std::string* reason = nullptr);

// What the engine's short reads mean for a file that ProbeArchive took.
inline constexpr std::string_view CutShortReason = "the archive is cut short";

// "AES-256" ... "RC5", "XChaCha20-Poly1305 (authenticated)".
std::string_view CipherName(std::uint32_t cipherId);
