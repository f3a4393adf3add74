#include "core/sealed_stream.h"

#include "platform/descriptor_io.h"
#include "platform/secure_memory.h"

#include <cstring>
#include <sodium.h>

static_assert(SealedStreamHeaderLength == crypto_secretstream_xchacha20poly1305_HEADERBYTES);
static_assert(SealedTagLength == crypto_secretstream_xchacha20poly1305_ABYTES);

struct SealedStreamState {
    crypto_secretstream_xchacha20poly1305_state stream;
};

namespace {

void FreeState(SealedStreamState*& state, std::uint8_t*& plain)
{
    SecureFree(state, sizeof(SealedStreamState));
    state = nullptr;
    SecureFree(plain, SealedMaxPlainLength);
    plain = nullptr;
}

// The stream state and the plaintext of one message, both locked; false
// (and nothing held) when either cannot be had.
bool AllocateState(SealedStreamState*& state, std::uint8_t*& plain)
{
    FreeState(state, plain);
    if (sodium_init() < 0)
        return false;
    state = static_cast<SealedStreamState*>(SecureAlloc(sizeof(SealedStreamState)));
    plain = static_cast<std::uint8_t*>(SecureAlloc(SealedMaxPlainLength));
    if (state != nullptr && plain != nullptr)
        return true;
    FreeState(state, plain);
    return false;
}

} // namespace

SealedStreamWriter::~SealedStreamWriter()
{
    Release();
}

void SealedStreamWriter::Release() noexcept
{
    FreeState(state_, plain_);
    sealed_ = {};
    associated_ = {};
}

bool SealedStreamWriter::Start(const std::uint8_t* key, std::uint8_t* streamHeader)
{
    if (!AllocateState(state_, plain_))
        return false;
    crypto_secretstream_xchacha20poly1305_init_push(&state_->stream, streamHeader, key);
    sealed_.resize(SealedMessageLengthSize + SealedMaxPlainLength + SealedTagLength);
    return true;
}

bool SealedStreamWriter::Write(int fd, std::span<const std::span<const std::uint8_t>> pieces, bool final)
{
    std::size_t length = 0;
    for (const auto piece : pieces) {
        if (piece.size() > SealedMaxPlainLength - length) {
            SecureWipe(plain_, length);
            return false;
        }
        std::memcpy(plain_ + length, piece.data(), piece.size());
        length += piece.size();
    }
    unsigned long long sealedLength = 0;
    const std::uint8_t tag =
        final ? crypto_secretstream_xchacha20poly1305_TAG_FINAL : crypto_secretstream_xchacha20poly1305_TAG_MESSAGE;
    crypto_secretstream_xchacha20poly1305_push(&state_->stream, sealed_.data() + SealedMessageLengthSize,
                                               &sealedLength, plain_, length, associated_.data(),
                                               associated_.size(), tag);
    SecureWipe(plain_, length);
    // Only the first message carries the associated data.
    associated_.clear();
    StoreLe32(sealed_.data(), static_cast<std::uint32_t>(sealedLength));
    return WriteAll(fd, sealed_.data(), SealedMessageLengthSize + sealedLength);
}

SealedStreamReader::~SealedStreamReader()
{
    Release();
}

void SealedStreamReader::Release() noexcept
{
    FreeState(state_, plain_);
    sealed_ = {};
    associated_ = {};
    plainLength_ = taken_ = 0;
    ended_ = failed_ = false;
}

bool SealedStreamReader::Start(const std::uint8_t* key, const std::uint8_t* streamHeader,
                               std::vector<std::uint8_t> associated)
{
    Release();
    if (!AllocateState(state_, plain_) ||
        crypto_secretstream_xchacha20poly1305_init_pull(&state_->stream, streamHeader, key) != 0) {
        Release();
        return false;
    }
    sealed_.resize(SealedMaxPlainLength + SealedTagLength);
    associated_ = std::move(associated);
    return true;
}

SealedStreamReader::Pull SealedStreamReader::Fail(Pull outcome)
{
    // Nothing of a failed message may be taken, and nothing after it.
    SecureWipe(plain_, SealedMaxPlainLength);
    plainLength_ = taken_ = 0;
    failed_ = true;
    return outcome;
}

SealedStreamReader::Pull SealedStreamReader::Next(SealedSource source, void* context)
{
    if (failed_ || taken_ != plainLength_)
        return Fail(Pull::Damaged);
    SecureWipe(plain_, plainLength_);
    plainLength_ = taken_ = 0;

    std::uint8_t lengthField[SealedMessageLengthSize];
    if (ended_) {
        std::uint8_t extra = 0;
        return source(context, &extra, 1) ? Fail(Pull::Damaged) : Pull::End;
    }
    if (!source(context, lengthField, sizeof lengthField))
        return Fail(Pull::Cut);
    const std::uint32_t sealedLength = LoadLe32(lengthField);
    if (sealedLength < SealedTagLength || sealedLength > sealed_.size())
        return Fail(Pull::Damaged);
    if (!source(context, sealed_.data(), sealedLength))
        return Fail(Pull::Cut);

    unsigned long long plainLength = 0;
    std::uint8_t tag = 0;
    if (crypto_secretstream_xchacha20poly1305_pull(&state_->stream, plain_, &plainLength, &tag, sealed_.data(),
                                                   sealedLength, associated_.data(), associated_.size()) != 0)
        return Fail(Pull::Damaged);
    associated_.clear();
    if (tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL) {
        // The writer's final message is empty and stands alone at the end.
        if (plainLength != 0)
            return Fail(Pull::Damaged);
        ended_ = true;
        return Next(source, context);
    }
    if (tag != crypto_secretstream_xchacha20poly1305_TAG_MESSAGE)
        return Fail(Pull::Damaged);
    plainLength_ = static_cast<std::size_t>(plainLength);
    return Pull::Message;
}

bool SealedStreamReader::Take(std::uint8_t* buffer, std::size_t length)
{
    if (length > plainLength_ - taken_)
        return false;
    std::memcpy(buffer, plain_ + taken_, length);
    taken_ += length;
    return true;
}
