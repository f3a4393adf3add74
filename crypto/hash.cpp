#include "crypto/hash.h"

#include "crypto/crc32.h"
#include "crypto/byte_order.h"
#include "crypto/sha256.h"
#include "crypto/sha512.h"
#include "platform/secure_memory.h"

#include <cstdlib>

namespace {

// The running CRC holds nothing secret, so it lives on the ordinary heap.
struct Crc32State {
    std::uint32_t value;
};

std::size_t StateSize(std::uint32_t kind)
{
    switch (kind) {
    case HashCrc32:
        return sizeof(Crc32State);
    case HashSha512:
        return sizeof(Sha512State);
    case HashSha256:
        return sizeof(Sha256State);
    default:
        return 0;
    }
}

void ReleaseState(HashContext* context)
{
    if (context->state == nullptr)
        return;
    if (context->kind == HashCrc32)
        std::free(context->state);
    else
        SecureFree(context->state, StateSize(context->kind));
    context->state = nullptr;
}

void StartState(std::uint32_t kind, void* state)
{
    switch (kind) {
    case HashCrc32:
        static_cast<Crc32State*>(state)->value = 0xFFFFFFFFU;
        break;
    case HashSha512:
        Sha512Init(static_cast<Sha512State*>(state));
        break;
    case HashSha256:
        Sha256Init(static_cast<Sha256State*>(state));
        break;
    }
}

void WriteDigest(HashContext* context, std::uint8_t* digest)
{
    switch (context->kind) {
    case HashCrc32:
        Store32Le(digest, ~static_cast<Crc32State*>(context->state)->value);
        break;
    case HashSha512:
        Sha512Final(static_cast<Sha512State*>(context->state), digest);
        break;
    case HashSha256:
        Sha256Final(static_cast<Sha256State*>(context->state), digest);
        break;
    }
}

} // namespace

std::size_t HashDigestLength(std::uint32_t kind)
{
    switch (kind) {
    case HashCrc32:
        return 4;
    case HashSha512:
        return Sha512DigestLength;
    case HashSha256:
        return Sha256DigestLength;
    default:
        return 0;
    }
}

int HashInit(HashContext* context, std::uint32_t kind)
{
    const std::size_t size = StateSize(kind);
    if (size == 0)
        return 0;
    // A digest left running would leak its locked state.
    ReleaseState(context);

    void* state = kind == HashCrc32 ? std::malloc(size) : SecureAlloc(size);
    if (state == nullptr)
        return 0;
    StartState(kind, state);
    context->kind = kind;
    context->state = state;
    return 1;
}

void HashUpdate(HashContext* context, const void* data, std::size_t length)
{
    if (context->state == nullptr || length == 0)
        return;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    switch (context->kind) {
    case HashCrc32: {
        auto* crc = static_cast<Crc32State*>(context->state);
        crc->value = Crc32Update(crc->value, bytes, length);
        break;
    }
    case HashSha512:
        Sha512Update(static_cast<Sha512State*>(context->state), bytes, length);
        break;
    case HashSha256:
        Sha256Update(static_cast<Sha256State*>(context->state), bytes, length);
        break;
    }
}

void HashFinal(HashContext* context, std::uint8_t* digest)
{
    if (context->state == nullptr)
        return;
    WriteDigest(context, digest);
    ReleaseState(context);
}

void HashFinalAndRestart(HashContext* context, std::uint8_t* digest)
{
    if (context->state == nullptr)
        return;
    WriteDigest(context, digest);
    // The finished state still holds the last message block.
    SecureWipe(context->state, StateSize(context->kind));
    StartState(context->kind, context->state);
}
