// Builds without libsodium (the Windows library so far): IQ_SDAInit refuses
// the authenticated cipher before any of this is reached, so every part of
// it only fails.
#include "core/sealed_key.h"
#include "core/sealed_stream.h"

SealedCost WriterSealedCost() { return {}; }

DeriveKeyResult DeriveSealedKey(SealedCost, const char16_t*, const char16_t*, const std::uint8_t*, std::uint8_t*,
                                const char*, const DeriveKeyCheckpoint*)
{
    return DeriveKeyResult::OutOfMemory;
}

void StoreSealedKeyCheck(std::uint8_t*, const std::uint8_t*) {}

SealedStreamWriter::~SealedStreamWriter() = default;

void SealedStreamWriter::Release() noexcept {}

bool SealedStreamWriter::Start(const std::uint8_t*, std::uint8_t*) { return false; }

bool SealedStreamWriter::Write(int, std::span<const std::span<const std::uint8_t>>, bool) { return false; }
