#pragma once
// The payload that follows the module inside an archive, byte for byte. The
// writer of the library and the extraction engine of the module both build
// on these constants; all integers are little-endian.

#include <cstddef>
#include <cstdint>

inline constexpr std::uint32_t BlockSize = 1048576;
// zlib's compressBound of one full block: 1,048,576 + 256 + 64 + 11.
inline constexpr std::uint32_t MaxPackedBlock = 1048907;
inline constexpr std::uint32_t MaxNameUnits = 260;
inline constexpr std::uint32_t CheckValue = 0x012F0C8D;

// Help texts longer than this cannot be shown by the module behind its
// about text, so the writer refuses them.
inline constexpr std::uint32_t MaxHelpUnits = 1226;

// CipherHeader: id, IV field, salt, reserved, encrypted CheckValue.
inline constexpr std::size_t CipherHeaderSize = 40;
inline constexpr std::size_t HeaderCipherIdOffset = 0;
inline constexpr std::size_t HeaderIvOffset = 1;
inline constexpr std::size_t HeaderIvLength = 16;
inline constexpr std::size_t HeaderSaltOffset = 17;
inline constexpr std::size_t HeaderSaltLength = 16;
inline constexpr std::size_t HeaderCheckValueOffset = 36;

enum class RecordType : std::uint8_t {
    DirEnter = 0,
    DirLeave = 1,
    File = 2,
};

// The pieces in which every record is passed through the cipher (one
// CipherProcess call each, in this order; RC4 depends on the cut), then the
// name of 2*L bytes.
inline constexpr std::size_t FileRecordPieces[] = {1, 4, 16, 20, 2};
inline constexpr std::size_t DirEnterRecordPieces[] = {1, 4, 8, 2};
// DataBlock: CRC, packed length P, then P bytes of one zlib stream.
inline constexpr std::size_t DataBlockHeaderPieces[] = {4, 4};

// The platform's attribute word as the archive stores it.
inline constexpr std::uint32_t AttributeReadOnly = 0x1;
inline constexpr std::uint32_t AttributeHidden = 0x2;
inline constexpr std::uint32_t AttributeDirectory = 0x10;
inline constexpr std::uint32_t AttributeArchive = 0x20;

inline std::uint64_t BlockCount(std::uint64_t size)
{
    return size / BlockSize + (size % BlockSize != 0 ? 1 : 0);
}

inline void StoreLe16(std::uint8_t* out, std::uint16_t value)
{
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void StoreLe32(std::uint8_t* out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void StoreLe64(std::uint8_t* out, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline std::uint16_t LoadLe16(const std::uint8_t* in)
{
    return static_cast<std::uint16_t>(in[0] | (in[1] << 8));
}

inline std::uint32_t LoadLe32(const std::uint8_t* in)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | in[i];
    return value;
}

inline std::uint64_t LoadLe64(const std::uint8_t* in)
{
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | in[i];
    return value;
}

// The authenticated cipher's header, in place of the CipherHeader: id,
// Argon2id passes and memory (KiB), salt, the key check, and the header of
// the XChaCha20-Poly1305 secret stream. Every record and every DataBlock is
// then one stream message (its plaintext as above), stored as the LE32
// length of its ciphertext and the ciphertext; an empty message tagged final
// ends the stream. The help length, the help text and this header are the
// associated data of the first message.
inline constexpr std::uint32_t CipherXChaCha20Poly1305 = 5;
inline constexpr std::size_t SealedOpsLimitOffset = 1;
inline constexpr std::size_t SealedMemoryKiBOffset = 5;
inline constexpr std::size_t SealedSaltOffset = 9;
inline constexpr std::size_t SealedKeyCheckOffset = 25;
inline constexpr std::size_t SealedKeyCheckLength = 16;
inline constexpr std::size_t SealedStreamHeaderOffset = 41;
inline constexpr std::size_t SealedStreamHeaderLength = 24;
inline constexpr std::size_t SealedHeaderSize = 65;
inline constexpr std::size_t SealedMessageLengthSize = 4;
inline constexpr std::size_t SealedTagLength = 17;
// The largest message: a DataBlock with a full packed stream.
inline constexpr std::size_t SealedMaxPlainLength = 8 + MaxPackedBlock;
