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

    void Add(const std::uint8_t* data, std::size_t length)
    {
        while (length > 0) {
            const std::size_t take = std::min(length, KeyfileBlockSize - filled_);
            std::memcpy(block_ + filled_, data, take);
            filled_ += take;
            data += take;
            length -= take;
            if (filled_ == KeyfileBlockSize) {
                consume_(context_, block_, filled_);
                filled_ = 0;
            }
        }
    }

    void Finish() { consume_(context_, block_, filled_); }

    std::uint8_t* Space() { return block_ + filled_; }
    std::size_t SpaceLeft() const { return KeyfileBlockSize - filled_; }
    void Filled(std::size_t count)
    {
        filled_ += count;
        if (filled_ == KeyfileBlockSize) {
            consume_(context_, block_, filled_);
            filled_ = 0;
        }
    }

private:
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
        chunker.Filled(*count);
    }
    chunker.Finish();
    return true;
}

bool SinkToChunker(void* context, const std::uint8_t* data, std::size_t length)
{
    static_cast<Chunker*>(context)->Add(data, length);
    return true;
}

} // namespace

bool ReadKeyfile(const char* location, const char* agentName, std::uint8_t* block,
                 KeyfileConsumer consume, void* context)
{
    Chunker chunker(block, consume, context);
    if (IsRemoteUrl(location)) {
        if (!FetchUrl(location, agentName, &SinkToChunker, &chunker))
            return false;
        chunker.Finish();
        return true;
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
