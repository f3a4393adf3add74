#include "creation/staged_file.h"

#include "platform/win32_long_path.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <utility>
#include <windows.h>

namespace {

constexpr int NameAttempts = 32;

// Only has to differ between tries: CREATE_NEW settles every clash.
std::string RandomSuffix()
{
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[6] = {};
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    unsigned long long mixed = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) ^ now.dwLowDateTime ^
                               (static_cast<unsigned long long>(GetCurrentProcessId()) << 20);
    static unsigned long long counter = 0;
    mixed += ++counter * 0x9E3779B97F4A7C15ull;
    std::string suffix;
    for (unsigned char& byte : bytes) {
        byte = static_cast<unsigned char>(mixed >> 8);
        mixed = mixed * 6364136223846793005ull + 1442695040888963407ull;
        suffix.push_back(Letters[byte % (sizeof Letters - 1)]);
    }
    return suffix;
}

} // namespace

// Windows has no execute bit: the archive's ".exe" makes it a program.
mode_t ExecutableMode()
{
    return 0755;
}

std::optional<StagedFile> StagedFile::Create(const std::string& finalPath)
{
    const std::string prefix = TemporaryPrefix(finalPath);
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        std::string temporary = prefix + RandomSuffix();
        const std::wstring wide = ExtendedPathOfUtf8(temporary);
        if (wide.empty()) {
            errno = ENOENT;
            return std::nullopt;
        }
        // CREATE_NEW never opens an existing name, a link among them. The
        // library opens the file again to append the archive, and an
        // interrupt may have to delete it while that handle is open: the
        // file is shared for both.
        const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)
                continue;
            errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
            return std::nullopt;
        }
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
        if (fd < 0) {
            CloseHandle(handle);
            DeleteFileW(wide.c_str());
            errno = EMFILE;
            return std::nullopt;
        }
        return StagedFile(fd, std::move(temporary), finalPath);
    }
    errno = EEXIST;
    return std::nullopt;
}

void StagedFile::Discard()
{
    if (fd_ >= 0)
        ::_close(std::exchange(fd_, -1));
    if (!temporary_.empty())
        DeleteFileW(ExtendedPathOfUtf8(temporary_).c_str());
    temporary_.clear();
}

StagedCommit StagedFile::Commit(mode_t mode)
{
    if (fd_ < 0 || temporary_.empty())
        return StagedCommit::Failed;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd_));
    // No mode bits to set: the file's folder rights decide who reads it.
    (void)mode;
    const bool flushed = FlushFileBuffers(handle) != 0;
    const bool closed = ::_close(std::exchange(fd_, -1)) == 0;
    const std::wstring from = ExtendedPathOfUtf8(temporary_);
    const std::wstring to = ExtendedPathOfUtf8(final_);
    if (!flushed || !closed || to.empty() ||
        MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        Discard();
        return StagedCommit::Failed;
    }
    temporary_.clear();
    return StagedCommit::Done;
}
