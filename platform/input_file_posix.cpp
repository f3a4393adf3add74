#include "platform/input_file.h"

#include "platform/unique_fd.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PosixInputFile final : public InputFile {
public:
    explicit PosixInputFile(UniqueFd fd) : fd_(std::move(fd)) {}

    bool Seek(std::uint64_t position) override
    {
        if (position > static_cast<std::uint64_t>(INT64_MAX))
            return false;
        const auto target = static_cast<off_t>(position);
        return ::lseek(fd_.Get(), target, SEEK_SET) == target;
    }

    std::optional<std::size_t> ReadSome(std::uint8_t* buffer, std::size_t length) override
    {
        for (;;) {
            const ssize_t count = ::read(fd_.Get(), buffer, length);
            if (count >= 0)
                return static_cast<std::size_t>(count);
            if (errno != EINTR)
                return std::nullopt;
        }
    }

private:
    UniqueFd fd_;
};

} // namespace

std::unique_ptr<InputFile> InputFile::Open(std::string_view path)
{
    const std::string terminated(path);
    if (terminated.find('\0') != std::string::npos)
        return nullptr;
    // Without O_NONBLOCK a FIFO would block the open until a writer comes;
    // only a regular file has an end to read to (a device or a FIFO may
    // never end).
    UniqueFd fd(::open(terminated.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd)
        return nullptr;
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return nullptr;
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return nullptr;
    return std::make_unique<PosixInputFile>(std::move(fd));
}
