#include "platform/input_file.h"

#include "platform/unique_fd.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <string>
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
    UniqueFd fd(::open(terminated.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd)
        return nullptr;
    return std::make_unique<PosixInputFile>(std::move(fd));
}
