#pragma once
// Where the engine reads an archive's payload from: the module's own file at
// its PayloadOffset, or a buffer in memory (fuzzing, benchmarks, tests).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// One sequential pass over the payload. Positions count from the payload's
// first byte (the help length).
class PayloadReader {
public:
    virtual ~PayloadReader() = default;
    virtual bool Seek(std::uint64_t position) = 0;
    // True only when exactly `length` bytes were read.
    virtual bool ReadExact(std::uint8_t* buffer, std::size_t length) = 0;
};

// Opens a fresh reader for every run; null when the archive cannot be opened.
class PayloadArchive {
public:
    virtual ~PayloadArchive() = default;
    virtual std::unique_ptr<PayloadReader> Open() const = 0;
};

class FilePayloadArchive final : public PayloadArchive {
public:
    FilePayloadArchive(std::string path, std::uint64_t payloadOffset);
    std::unique_ptr<PayloadReader> Open() const override;

private:
    std::string path_;
    std::uint64_t payloadOffset_;
};

// Refers to the caller's bytes, which must outlive every reader.
class MemoryPayloadArchive final : public PayloadArchive {
public:
    explicit MemoryPayloadArchive(std::span<const std::uint8_t> payload) : payload_(payload) {}
    std::unique_ptr<PayloadReader> Open() const override;

private:
    std::span<const std::uint8_t> payload_;
};
