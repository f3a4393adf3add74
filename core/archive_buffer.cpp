#include "core/archive_buffer.h"

#include "platform/descriptor_io.h"

#include <cstring>

namespace {

// Large enough that the records of many small files share a write; a
// block's data longer than this goes out directly.
constexpr std::size_t BufferedBytes = 128 * 1024;

} // namespace

bool ArchiveBuffer::Write(int fd, const std::uint8_t* data, std::size_t length)
{
    if (length > BufferedBytes - used_) {
        if (!Flush(fd))
            return false;
        if (length >= BufferedBytes)
            return WriteAll(fd, data, length);
    }
    if (bytes_.empty())
        bytes_.resize(BufferedBytes);
    std::memcpy(bytes_.data() + used_, data, length);
    used_ += length;
    return true;
}

bool ArchiveBuffer::Flush(int fd)
{
    if (used_ == 0)
        return true;
    const std::size_t length = used_;
    used_ = 0;
    return WriteAll(fd, bytes_.data(), length);
}
