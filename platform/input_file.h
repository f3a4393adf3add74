#pragma once
// A file opened for reading by path: the module's own archive and local
// keyfiles. Paths are UTF-8 on every platform.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

class InputFile {
public:
    virtual ~InputFile() = default;
    // An absolute position from the start of the file.
    virtual bool Seek(std::uint64_t position) = 0;
    // Up to `length` bytes; 0 at the end of the file, nothing on an error.
    virtual std::optional<std::size_t> ReadSome(std::uint8_t* buffer, std::size_t length) = 0;

    // Null when the path names no regular file that can be read (shared
    // for reading, existing files only); a device, a FIFO or a folder is
    // refused at once, without waiting for it.
    static std::unique_ptr<InputFile> Open(std::string_view path);
};
