#include "creation/staged_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

bool FlushFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    const bool flushed = ::fsync(fd) == 0;
    ::close(fd);
    return flushed;
}

} // namespace

mode_t ExecutableMode()
{
    // umask() can only be read by setting it, which races with other threads
    // creating files; the kernel reports it without a change.
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found)
            return 0755 & ~static_cast<mode_t>(mask);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0755 & ~mask;
}

std::optional<StagedFile> StagedFile::Create(const std::string& finalPath)
{
    std::string pattern = TemporaryPrefix(finalPath) + "XXXXXX";
    // mkostemp creates with O_EXCL and mode 0600: an existing name, a link
    // among them, is never opened.
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    return StagedFile(fd, std::move(pattern), finalPath);
}

void StagedFile::Discard()
{
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
}

StagedCommit StagedFile::Commit(mode_t mode)
{
    if (fd_ < 0 || temporary_.empty())
        return StagedCommit::Failed;
    const bool moded = mode == 0600 || ::fchmod(fd_, mode) == 0;
    const bool flushed = ::fsync(fd_) == 0;
    const bool closed = ::close(std::exchange(fd_, -1)) == 0;
    if (!flushed || !closed || ::rename(temporary_.c_str(), final_.c_str()) != 0) {
        Discard();
        return StagedCommit::Failed;
    }
    temporary_.clear();
    FlushFolder(FolderOf(final_));
    return moded ? StagedCommit::Done : StagedCommit::DoneWithoutMode;
}
