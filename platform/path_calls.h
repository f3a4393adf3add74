#pragma once
// The few file-system calls of the command-line program and the creators
// that the shared platform layer has no use for, on UTF-8 paths with "/" as
// the separator (Windows accepts it too). One backend per system; every
// failure leaves an errno value for the message.

#include "platform/file_status.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// A descriptor for reading; -1 on failure. Unless `mayWait`, opening a
// FIFO or a device returns at once and reads from it do not wait.
int OpenForReading(const std::string& path, bool mayWait = false);
// An existing device or FIFO (never a regular file's data) for writing.
int OpenDeviceForWriting(const std::string& path);
// Up to `length` bytes at `offset`, leaving the position alone; -1 on an error.
long ReadSomeAt(int fd, std::uint64_t offset, void* buffer, std::size_t length);

// Exactly `length` bytes at `offset`.
inline bool ReadAllAt(int fd, std::uint64_t offset, void* buffer, std::size_t length)
{
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < length) {
        const long count = ReadSomeAt(fd, offset + done, bytes + done, length - done);
        if (count <= 0)
            return false;
        done += static_cast<std::size_t>(count);
    }
    return true;
}

// The status of `path`, a link (any reparse point on Windows) describing
// itself unless `followLink`.
bool PathStatus(const std::string& path, bool followLink, FileStatus* status);
// Whether new entries may be made in the existing folder `path`.
bool FolderWritable(const std::string& path);
bool MakeFolder(const std::string& path);
// Only an empty folder is removed.
bool RemoveEmptyFolder(const std::string& path);
// The names in a folder, without "." and ".."; null when it cannot be listed.
std::optional<std::vector<std::string>> FolderNames(const std::string& path);
// The absolute path with links and "." or ".." resolved; empty on failure.
std::string ResolvedPath(const std::string& path);
// The running program's own file.
std::string ProgramFilePath();
// Columns of the terminal or console behind `stream`; 80 when unknown.
std::size_t TerminalColumns(std::FILE* stream);
