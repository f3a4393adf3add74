#include "frontend/keyfile_writer.h"

#include "frontend/core_api.h"
#include "platform/secure_memory.h"
#include "platform/unique_fd.h"
#include "platform/descriptor_io.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <unistd.h>

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
    UniqueFd file(::open(QFile::encodeName(path).constData(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!file)
        return KeyfileWrite::FileFailed;

    LockedBlock block;
    const auto total = static_cast<std::size_t>(size > 0 ? size : 0);
    KeyfileWrite result = KeyfileWrite::Done;
    for (std::size_t done = 0; done < total && result == KeyfileWrite::Done;) {
        const std::size_t piece = std::min(kBlock, total - done);
        block.bytes.fill(0);
        if (core.RndGetBytes(block.bytes.data(), static_cast<std::uint32_t>(piece)) != IQ_OK)
            result = KeyfileWrite::RandomFailed;
        else if (!WriteAll(file.Get(), block.bytes.data(), piece))
            result = KeyfileWrite::FileFailed;
        done += piece;
    }
    if (!file.Reset() && result == KeyfileWrite::Done)
        result = KeyfileWrite::FileFailed;
    return result;
}
