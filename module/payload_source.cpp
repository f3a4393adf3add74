#include "module/payload_source.h"

#include "platform/input_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// Records arrive in pieces of a few bytes; a small read-ahead saves a system
// call per field. Block payloads larger than the buffer are read directly.
class FilePayloadReader final : public PayloadReader {
public:
    FilePayloadReader(std::unique_ptr<InputFile> file, std::uint64_t payloadOffset)
        : file_(std::move(file)), payloadOffset_(payloadOffset)
    {
    }

    bool Seek(std::uint64_t position) override
    {
        if (position > static_cast<std::uint64_t>(INT64_MAX) - payloadOffset_)
            return false;
        if (!file_->Seek(payloadOffset_ + position))
            return false;
        begin_ = end_ = 0;
        return true;
    }

    bool ReadExact(std::uint8_t* buffer, std::size_t length) override
    {
        if (length == 0)
            return true; // an empty field, its buffer possibly null
        const std::size_t buffered = std::min(length, end_ - begin_);
        std::memcpy(buffer, ahead_ + begin_, buffered);
        begin_ += buffered;
        buffer += buffered;
        length -= buffered;
        if (length == 0)
            return true;
        if (length >= sizeof ahead_)
            return ReadFromFile(buffer, length) == length;
        end_ = ReadFromFile(ahead_, sizeof ahead_);
        begin_ = std::min(length, end_);
        std::memcpy(buffer, ahead_, begin_);
        return begin_ == length;
    }

private:
    // Bytes read before the end of the file or an error.
    std::size_t ReadFromFile(std::uint8_t* buffer, std::size_t length)
    {
        std::size_t total = 0;
        while (total < length) {
            const auto count = file_->ReadSome(buffer + total, length - total);
            if (!count || *count == 0)
                break;
            total += *count;
        }
        return total;
    }

    std::unique_ptr<InputFile> file_;
    std::uint64_t payloadOffset_;
    std::uint8_t ahead_[16384];
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

class MemoryPayloadReader final : public PayloadReader {
public:
    explicit MemoryPayloadReader(std::span<const std::uint8_t> payload) : payload_(payload) {}

    bool Seek(std::uint64_t position) override
    {
        if (position > payload_.size())
            return false;
        position_ = static_cast<std::size_t>(position);
        return true;
    }

    bool ReadExact(std::uint8_t* buffer, std::size_t length) override
    {
        if (length == 0)
            return true;
        if (length > payload_.size() - position_)
            return false;
        std::memcpy(buffer, payload_.data() + position_, length);
        position_ += length;
        return true;
    }

private:
    std::span<const std::uint8_t> payload_;
    std::size_t position_ = 0;
};

} // namespace

FilePayloadArchive::FilePayloadArchive(std::string path, std::uint64_t payloadOffset)
    : path_(std::move(path)), payloadOffset_(payloadOffset)
{
}

std::unique_ptr<PayloadReader> FilePayloadArchive::Open() const
{
    auto file = InputFile::Open(path_);
    if (!file)
        return nullptr;
    auto reader = std::make_unique<FilePayloadReader>(std::move(file), payloadOffset_);
    if (!reader->Seek(0))
        return nullptr;
    return reader;
}

std::unique_ptr<PayloadReader> MemoryPayloadArchive::Open() const
{
    return std::make_unique<MemoryPayloadReader>(payload_);
}
