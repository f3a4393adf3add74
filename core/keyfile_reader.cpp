#include "core/keyfile_reader.h"

#include "platform/input_file.h"
#include "platform/url_reader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char FilePrefix[] = "file://";

// Cuts whatever arrives into full blocks; the last, partial block is
// delivered by Finish.
class Chunker {
public:
    Chunker(std::uint8_t* block, KeyfileConsumer consume, void* context)
        : block_(block), consume_(consume), context_(context)
    {
    }

    bool Add(const std::uint8_t* data, std::size_t length)
    {
        while (length > 0) {
            const std::size_t take = std::min(length, KeyfileBlockSize - filled_);
            std::memcpy(block_ + filled_, data, take);
            filled_ += take;
            data += take;
            length -= take;
            if (filled_ == KeyfileBlockSize && !Deliver())
                return false;
        }
        return true;
    }

    bool Finish() { return consume_(context_, block_, filled_); }

    std::uint8_t* Space() { return block_ + filled_; }
    std::size_t SpaceLeft() const { return KeyfileBlockSize - filled_; }
    bool Filled(std::size_t count)
    {
        filled_ += count;
        return filled_ < KeyfileBlockSize || Deliver();
    }

private:
    bool Deliver()
    {
        filled_ = 0;
        return consume_(context_, block_, KeyfileBlockSize);
    }

    std::uint8_t* block_;
    KeyfileConsumer consume_;
    void* context_;
    std::size_t filled_ = 0;
};

bool ReadLocal(const char* path, Chunker& chunker)
{
    const auto file = InputFile::Open(path);
    if (!file)
        return false;
    for (;;) {
        const auto count = file->ReadSome(chunker.Space(), chunker.SpaceLeft());
        if (!count)
            return false;
        if (*count == 0)
            break;
        if (!chunker.Filled(*count))
            return false;
    }
    return chunker.Finish();
}

bool SinkToChunker(void* context, const std::uint8_t* data, std::size_t length)
{
    return static_cast<Chunker*>(context)->Add(data, length);
}

} // namespace

bool ReadKeyfile(const char* location, const char* agentName, std::uint8_t* block,
                 KeyfileConsumer consume, void* context)
{
    Chunker chunker(block, consume, context);
    if (IsRemoteUrl(location)) {
        return FetchUrl(location, agentName, &SinkToChunker, &chunker) && chunker.Finish();
    }
    if (std::strncmp(location, FilePrefix, sizeof FilePrefix - 1) == 0) {
        location += sizeof FilePrefix - 1;
#ifdef _WIN32
        // "file:///C:/keys/my.key", the URL form: the drive follows the slash.
        if (location[0] == '/' && location[1] != '\0' && location[2] == ':')
            ++location;
#endif
    }
    else if (std::strstr(location, "://") != nullptr)
        return false; // a scheme we do not read
    if (*location == '\0')
        return false;
    return ReadLocal(location, chunker);
}
