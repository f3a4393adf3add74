#pragma once
// The cipher suite: five ciphers behind one interface. Every cipher but RC4
// runs in the system's byte feedback mode, which needs only the forward block
// function, so no block-decryption function exists anywhere.

#include <cstddef>
#include <cstdint>

// CipherId: the first byte of the archive header and the "Cipher" setting.
enum : std::uint32_t {
    CipherAes256 = 0,
    CipherCast256 = 1,
    CipherBlowfish = 2,
    CipherRc4 = 3,
    CipherRc5 = 4,
};
inline constexpr std::uint32_t CipherCount = 5;
inline constexpr std::size_t CipherMaxKeyLength = 64;
inline constexpr std::size_t CipherIvFieldLength = 16;

// The library encrypts and the module decrypts; the command-line program
// does both, so the direction is chosen per context.
enum class CipherDirection : std::uint8_t { Encrypt, Decrypt };

struct CipherContext {
    std::uint32_t id = 0;
    void* state = nullptr; // null while unkeyed
    CipherDirection direction = CipherDirection::Encrypt;
};

// 32, 32, 56, 64, 64 bytes for ids 0 to 4; 0 for any other id.
std::uint32_t CipherKeyLength(std::uint32_t id);
// 16 for ids 0, 1, 3, 4 and 8 for id 2; 0 for any other id.
std::uint32_t CipherIvLength(std::uint32_t id);

// Keys `context` with `keyLength` bytes of `key` and the first
// CipherIvLength(id) bytes of `iv`. Returns 1, or 0 when the id is unknown
// or the state cannot be allocated; on 0 nothing is keyed.
int CipherInit(CipherContext* context, std::uint32_t id, std::uint32_t keyLength,
               const std::uint8_t* iv, const std::uint8_t* key,
               CipherDirection direction = CipherDirection::Encrypt);

// Transforms `length` bytes in place, continuing the context's stream.
// Never allocates, never fails.
void CipherProcess(CipherContext* context, std::uint8_t* buffer, std::size_t length);

// Wipes, unlocks and frees the state; the context is unkeyed afterwards.
// Accepts an unkeyed context.
void CipherRelease(CipherContext* context);

// Forces the table-driven AES block function even where AES-NI exists, for
// tests that compare both paths. Affects contexts keyed afterwards.
void CipherForceAesTablePath(bool force);
