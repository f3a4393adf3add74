#include "creation/staged_file.h"

#include <utility>

namespace {

// Names stay below NAME_MAX with the prefix and the random suffix.
constexpr std::size_t MaxKeptNameBytes = 200;

std::string BaseNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string StagedFile::TemporaryPrefix(const std::string& finalPath)
{
    const std::string folder = FolderOf(finalPath);
    std::string base = BaseNameOf(finalPath);
    if (base.size() > MaxKeptNameBytes)
        base.resize(MaxKeptNameBytes);
    return (folder == "/" ? "/" : folder + "/") + "." + base + ".";
}

StagedFile::StagedFile(int fd, std::string temporary, std::string final)
    : fd_(fd), temporary_(std::move(temporary)), final_(std::move(final))
{
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), temporary_(std::move(other.temporary_)), final_(std::move(other.final_))
{
    other.temporary_.clear();
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept
{
    if (this != &other) {
        Discard();
        fd_ = std::exchange(other.fd_, -1);
        temporary_ = std::exchange(other.temporary_, std::string());
        final_ = std::move(other.final_);
    }
    return *this;
}

StagedFile::~StagedFile()
{
    Discard();
}

