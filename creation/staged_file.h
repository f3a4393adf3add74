#pragma once
// A new file that takes its final name only once it is whole: written under
// a temporary name in the folder of the final one (created exclusively, so
// never through a link, and owner-only), flushed, then renamed. Whatever
// had the final name stays untouched until that rename, and a symbolic link
// of that name is replaced as a name, its target never opened.

#include <optional>
#include <string>
#include <sys/types.h>

enum class StagedCommit {
    Done,
    // Renamed and complete, but the final mode could not be set.
    DoneWithoutMode,
    // Not renamed: the temporary file is gone, the final name untouched.
    Failed,
};

class StagedFile {
public:
    // Null with errno set when no temporary file can be made there.
    static std::optional<StagedFile> Create(const std::string& finalPath);

    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    // Discards a file that was never committed.
    ~StagedFile();

    int Fd() const { return fd_; }
    const std::string& TemporaryPath() const { return temporary_; }
    const std::string& FinalPath() const { return final_; }

    // Flushes the file, gives it `mode` (it is 0600 until then), renames it
    // onto the final name and flushes the folder, so that the new name
    // survives a crash.
    StagedCommit Commit(mode_t mode);
    // Closes and removes the temporary file; the final name is untouched.
    void Discard();

private:
    StagedFile(int fd, std::string temporary, std::string final);
    // The temporary name up to its unique part: ".NAME." in the folder.
    static std::string TemporaryPrefix(const std::string& finalPath);

    int fd_ = -1;
    std::string temporary_;
    std::string final_;
};

// The folder part of `path` ("." for a bare name), as rename() sees it.
std::string FolderOf(const std::string& path);

// 0755 less the process's umask, read without changing it.
mode_t ExecutableMode();
