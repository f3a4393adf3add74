#include "frontend/keyfile_writer.h"

#include "creation/staged_file.h"
#include "frontend/core_api.h"
#include "frontend/native_path.h"
#include "platform/secure_memory.h"
#include "platform/descriptor_io.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <optional>

namespace {

constexpr std::size_t kBlock = 256;

class LockedBlock {
public:
    LockedBlock() { SecureLock(bytes.data(), bytes.size()); }
    ~LockedBlock() { SecureWipeAndUnlock(bytes.data(), bytes.size()); }
    LockedBlock(const LockedBlock&) = delete;
    LockedBlock& operator=(const LockedBlock&) = delete;

    std::array<std::uint8_t, kBlock> bytes{};
};

} // namespace

KeyfileWrite writeKeyfile(const QString& path, int size, const CoreApi& core)
{
    // Whole or not at all: a keyfile replaced by a cut one would lock its
    // owner out of every archive made with the old one.
    std::optional<StagedFile> file = StagedFile::Create(nativeFromPath(path).toStdString());
    if (!file)
        return KeyfileWrite::FileFailed;

    LockedBlock block;
    const auto total = static_cast<std::size_t>(size > 0 ? size : 0);
    for (std::size_t done = 0; done < total;) {
        const std::size_t piece = std::min(kBlock, total - done);
        block.bytes.fill(0);
        if (core.RndGetBytes(block.bytes.data(), static_cast<std::uint32_t>(piece)) != IQ_OK)
            return KeyfileWrite::RandomFailed;
        if (!WriteAll(file->Fd(), block.bytes.data(), piece))
            return KeyfileWrite::FileFailed;
        done += piece;
    }
    return file->Commit(0600) == StagedCommit::Done ? KeyfileWrite::Done : KeyfileWrite::FileFailed;
}
