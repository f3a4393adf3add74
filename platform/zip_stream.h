#pragma once
// A .zip archive written front to back, for output that can only be
// appended to (a browser download). Entries are stored, not compressed: the
// archive's own blocks are already compressed and verified, and storing
// keeps the writer a single pass. Each file's size and CRC follow its data
// in a data descriptor; ZIP64 fields appear only where a size, an offset or
// the entry count needs them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Receives the bytes of the archive in order; false stops the writer.
using ZipSink = std::function<bool(const std::uint8_t* data, std::size_t length)>;

struct ZipTimes {
    std::uint64_t creationTime = 0;  // FILETIME
    std::uint64_t lastWriteTime = 0; // FILETIME
};

class ZipStream {
public:
    explicit ZipStream(ZipSink sink) : sink_(std::move(sink)) {}

    // `name` is the UTF-8 path below the archive's root, components joined
    // by '/'. Each returns the entry's index, or -1 when the sink failed.
    long AddDirectory(const std::string& name, const ZipTimes& times);
    // `expectedSize` decides whether the local header carries ZIP64 sizes;
    // data beyond 4 GiB in an entry announced smaller makes Write fail.
    long BeginFile(const std::string& name, const ZipTimes& times, bool readOnly, std::uint64_t expectedSize);
    bool Write(const std::uint8_t* data, std::size_t length);
    // Ends the open file with its data descriptor.
    bool EndFile(const ZipTimes& times);
    // An open file that is not ended never reaches the central directory.
    void DropOpenFile() { open_ = false; }
    // Leaves the entry out of the central directory (a replaced entry).
    void Remove(long index);
    // The central directory and its end records; nothing can follow.
    bool Finish();

private:
    struct Entry {
        std::string name; // directories end in '/'
        ZipTimes times;
        std::uint64_t headerOffset = 0;
        std::uint64_t size = 0;
        std::uint32_t crc = 0;
        bool directory = false;
        bool readOnly = false;
        bool zip64Sizes = false;
        bool removed = false;
    };

    bool Emit(const std::uint8_t* data, std::size_t length);
    bool EmitLocalHeader(const Entry& entry);

    ZipSink sink_;
    std::vector<Entry> entries_;
    std::uint64_t offset_ = 0;
    bool open_ = false;
    std::uint32_t crcState_ = 0;
    bool failed_ = false;
};
