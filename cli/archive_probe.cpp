#include "cli/archive_probe.h"

#include "cli/archive_output.h"
#include "core/archive_format.h"
#include "core/sealed_key.h"
#include "crypto/cipher.h"
#include "platform/path_calls.h"
#include "platform/unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

bool AllZero(const std::uint8_t* bytes, std::size_t length)
{
    return std::all_of(bytes, bytes + length, [](std::uint8_t byte) { return byte == 0; });
}

// The cost is judged by the reader, which refuses one beyond its cap as
// damage; here any nonzero cost with a salt looks like our writer's.
bool PlausibleSealedHeader(const std::uint8_t* header)
{
    const SealedCost cost = LoadSealedCost(header);
    return cost.passes != 0 && cost.memoryKiB != 0 && !AllZero(header + SealedSaltOffset, HeaderSaltLength);
}

bool PlausibleHeader(const std::uint8_t* header)
{
    const std::uint32_t id = header[HeaderCipherIdOffset];
    if (id == CipherXChaCha20Poly1305)
        return PlausibleSealedHeader(header);
    if (id >= CipherCount)
        return false;
    const std::size_t ivUsed = CipherIvLength(id);
    const std::uint8_t* iv = header + HeaderIvOffset;
    const std::size_t reservedOffset = HeaderSaltOffset + HeaderSaltLength;
    return AllZero(iv + ivUsed, HeaderIvLength - ivUsed) &&
           AllZero(header + reservedOffset, HeaderCheckValueOffset - reservedOffset) &&
           !AllZero(header + HeaderSaltOffset, HeaderSaltLength);
}

// `*cut` is set when the module's help length fits but the file ends before
// the header behind it.
std::optional<ArchiveLayout> TryModule(int fd, std::uint64_t fileSize, const KnownModule& module, bool* cut)
{
    const std::uint64_t offset = module.build.payloadOffset;
    std::uint8_t lengthField[2];
    if (fileSize < offset + 2 || !ReadAllAt(fd, offset, lengthField, 2))
        return std::nullopt;
    ArchiveLayout layout;
    layout.module = &module;
    layout.fileSize = fileSize;
    layout.helpLength = LoadLe16(lengthField);
    if (layout.helpLength > module.build.maxHelpUnits)
        return std::nullopt;
    const std::uint64_t headerOffset = offset + 2 + 2 * std::uint64_t{layout.helpLength};
    std::uint8_t header[std::max(CipherHeaderSize, SealedHeaderSize)];
    std::uint8_t id = 0;
    if (!ReadAllAt(fd, headerOffset, &id, 1))
        return std::nullopt;
    const std::size_t headerSize = id == CipherXChaCha20Poly1305 ? SealedHeaderSize : CipherHeaderSize;
    if (fileSize < headerOffset + headerSize) {
        *cut = true;
        return std::nullopt;
    }
    if (!ReadAllAt(fd, headerOffset, header, headerSize) || !PlausibleHeader(header))
        return std::nullopt;
    std::vector<std::uint8_t> help(2 * std::size_t{layout.helpLength});
    if (!ReadAllAt(fd, offset + 2, help.data(), help.size()))
        return std::nullopt;
    for (std::size_t i = 0; i < layout.helpLength; ++i)
        layout.help.push_back(static_cast<char16_t>(LoadLe16(help.data() + 2 * i)));
    layout.cipherId = header[HeaderCipherIdOffset];
    if (layout.cipherId == CipherXChaCha20Poly1305)
        layout.sealedCost = LoadSealedCost(header);
    return layout;
}

} // namespace

std::optional<ArchiveLayout> ProbeArchive(const std::string& path, std::string* reason)
{
    std::string unused;
    if (reason == nullptr)
        reason = &unused;
    const UniqueFd fd(OpenForReading(path));
    FileStatus status;
    if (!fd || !QueryOpenFileStatus(fd.Get(), &status)) {
        *reason = std::strerror(errno);
        return std::nullopt;
    }
    if (!IsRegularFile(status)) {
        *reason = IsDirectory(status) ? std::strerror(EISDIR) : "not a regular file";
        return std::nullopt;
    }
    // The head of the archive is its module: the builds of the system it names
    // are tried first, so that bytes inside a Windows module that happen to
    // look like a payload where a Linux one ends are never taken for it. A
    // head that was damaged or cut off still leaves the other system's builds.
    std::uint8_t head[2] = {};
    const std::size_t headLength = ReadAllAt(fd.Get(), 0, head, sizeof head) ? sizeof head : 0;
    const TargetSystem first = SystemOfProgramHead(head, headLength);
    const std::uint64_t fileSize = status.size;
    bool cut = false;
    for (const bool named : {true, false}) {
        for (const KnownModule& module : KnownModules()) {
            if ((module.system == first) != named)
                continue;
            if (auto layout = TryModule(fd.Get(), fileSize, module, &cut))
                return layout;
        }
    }
    *reason = cut ? std::string(CutShortReason) : "no archive follows any known module in this file";
    return std::nullopt;
}

std::string_view CipherName(std::uint32_t cipherId)
{
    static const std::string_view names[] = {"AES-256", "CAST-256", "Blowfish", "RC4", "RC5",
                                             "XChaCha20-Poly1305 (authenticated)"};
    return cipherId < std::size(names) ? names[cipherId] : "unknown";
}
