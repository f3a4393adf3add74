#include "cli/keyfile_writer.h"

#include "platform/secure_memory.h"
#include "platform/unique_fd.h"
#include "platform/descriptor_io.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t RequestSize = 256;

class RandomBlock {
public:
    RandomBlock() { SecureLock(bytes_, sizeof bytes_); }
    ~RandomBlock() { SecureWipeAndUnlock(bytes_, sizeof bytes_); }
    RandomBlock(const RandomBlock&) = delete;
    RandomBlock& operator=(const RandomBlock&) = delete;
    std::uint8_t* Data() { return bytes_; }

private:
    std::uint8_t bytes_[RequestSize] = {};
};

KeyfileResult Fill(int fd, std::uint32_t size, RandomSource random)
{
    RandomBlock block;
    for (std::uint32_t left = size; left > 0;) {
        const std::uint32_t piece = left < RequestSize ? left : RequestSize;
        SecureWipe(block.Data(), RequestSize);
        if (random(block.Data(), piece) != 0)
            return KeyfileResult::RandomFailed;
        if (!WriteAll(fd, block.Data(), piece))
            return KeyfileResult::CannotCreate;
        left -= piece;
    }
    return KeyfileResult::Ok;
}

} // namespace

KeyfileResult WriteKeyfile(const std::string& path, std::uint32_t size, RandomSource random)
{
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0600));
    struct stat status {};
    if (!fd || ::fstat(fd.Get(), &status) != 0)
        return KeyfileResult::CannotCreate;
    // Only a file of our own is made private or removed; a device or pipe
    // named as the output (/dev/stdout) is just written to.
    const bool regular = S_ISREG(status.st_mode);
    // A replaced file would keep its old mode through O_TRUNC.
    if (regular && ::fchmod(fd.Get(), 0600) != 0)
        return KeyfileResult::CannotCreate;
    KeyfileResult result = Fill(fd.Get(), size, random);
    if (!fd.Reset() && result == KeyfileResult::Ok)
        result = KeyfileResult::CannotCreate;
    if (result != KeyfileResult::Ok && regular)
        ::unlink(path.c_str());
    return result;
}
