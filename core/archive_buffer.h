#pragma once
// The archive's bytes on their way to its file, already encrypted: small
// records are gathered into few writes instead of one system call per
// field. Whoever reports a call as done flushes first, so what a finished
// export wrote is in the file.

#include <cstddef>
#include <cstdint>
#include <vector>

class ArchiveBuffer {
public:
    // Appends `data`, writing out to `fd` whenever the buffer fills. False
    // when a write fails (errno is its error).
    bool Write(int fd, const std::uint8_t* data, std::size_t length);
    // Writes out everything gathered. False when a write fails.
    bool Flush(int fd);
    // Forgets what is gathered (after a failure nothing more is written).
    void Drop() { used_ = 0; }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t used_ = 0;
};
