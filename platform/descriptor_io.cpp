#include "platform/descriptor_io.h"

#include <cerrno>
#include <cstdint>
#include <unistd.h>

bool WriteAll(int fd, const void* data, std::size_t length)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (length > 0) {
        const ssize_t written = ::write(fd, bytes, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

CopyResult CopyAll(int from, int to)
{
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(from, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return CopyResult::ReadFailed;
        if (count == 0)
            return CopyResult::Ok;
        if (!WriteAll(to, buffer, static_cast<std::size_t>(count)))
            return CopyResult::WriteFailed;
    }
}

bool RewindDescriptor(int fd)
{
    return ::lseek(fd, 0, SEEK_SET) == 0;
}
