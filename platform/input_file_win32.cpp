#include "platform/input_file.h"

#include "platform/win32_path.h"

#include <windows.h>

namespace {

class Win32InputFile final : public InputFile {
public:
    explicit Win32InputFile(HANDLE handle) : handle_(handle) {}
    ~Win32InputFile() override { CloseHandle(handle_); }
    Win32InputFile(const Win32InputFile&) = delete;
    Win32InputFile& operator=(const Win32InputFile&) = delete;

    bool Seek(std::uint64_t position) override
    {
        if (position > static_cast<std::uint64_t>(INT64_MAX))
            return false;
        LARGE_INTEGER target;
        target.QuadPart = static_cast<LONGLONG>(position);
        return SetFilePointerEx(handle_, target, nullptr, FILE_BEGIN) != 0;
    }

    std::optional<std::size_t> ReadSome(std::uint8_t* buffer, std::size_t length) override
    {
        const DWORD asked = length > MAXDWORD ? MAXDWORD : static_cast<DWORD>(length);
        DWORD read = 0;
        if (ReadFile(handle_, buffer, asked, &read, nullptr) == 0)
            return std::nullopt;
        return static_cast<std::size_t>(read);
    }

private:
    HANDLE handle_;
};

} // namespace

std::unique_ptr<InputFile> InputFile::Open(std::string_view path)
{
    const auto wide = WidePath(path);
    if (!wide)
        return nullptr;
    const HANDLE handle = CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    // A directory opens only with backup semantics, a device would not be a
    // file at all: both are refused like a missing file.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return nullptr;
    }
    return std::make_unique<Win32InputFile>(handle);
}
