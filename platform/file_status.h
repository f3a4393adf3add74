#pragma once
// What the archive records about a file or directory, read with statx (on
// Windows from the file's handle), its times already converted to FILETIME.

#include <cstdint>

struct FileStatus {
    std::uint32_t mode = 0;
    std::uint64_t size = 0;
    // The birth time where the filesystem reports one, else the last write.
    std::uint64_t creationTime = 0;
    std::uint64_t lastWriteTime = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint32_t links = 0;
    // The system's own attribute word (Windows only; 0 elsewhere).
    std::uint32_t attributes = 0;
};

inline bool SameObject(const FileStatus& a, const FileStatus& b)
{
    return a.device == b.device && a.inode == b.inode;
}

// `path` relative to the directory handle `dirFd` (or AT_FDCWD; on Windows
// `path` is a whole UTF-8 path and `dirFd` is ignored). With `followLink`
// false a symbolic link (on Windows any reparse point) describes itself.
bool QueryFileStatus(int dirFd, const char* path, bool followLink, FileStatus* status);
// The object behind an open descriptor.
bool QueryOpenFileStatus(int fd, FileStatus* status);
#ifdef _WIN32
// The object behind an open Win32 handle (a HANDLE), as opened.
bool QueryHandleFileStatus(void* handle, FileStatus* status);
#endif

bool IsDirectory(const FileStatus& status);
bool IsRegularFile(const FileStatus& status);
bool IsSymbolicLink(const FileStatus& status);
