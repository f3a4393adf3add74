#pragma once
// A test-only payload writer: records composed by hand, encrypted with the
// crypto suite in the pieces of the format, so that tests can build the
// archives that the real writer never produces (hostile names, stray leave
// records, wrong CRCs, oversized lengths, cuts anywhere).

#include "crypto/cipher.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr std::uint64_t SampleTime = 133444736000000000ULL; // 2023-11-14 22:13:20 UTC

class PayloadBuilder {
public:
    // `keyfileLocation` empty means none; the key is derived as the module
    // derives it.
    PayloadBuilder(std::uint32_t cipherId, const std::u16string& passphrase, const std::u16string& help = u"",
                   const std::u16string& keyfileLocation = u"");
    ~PayloadBuilder();
    PayloadBuilder(const PayloadBuilder&) = delete;
    PayloadBuilder& operator=(const PayloadBuilder&) = delete;

    PayloadBuilder& EnterDir(const std::u16string& name, std::uint64_t creationTime = SampleTime);
    PayloadBuilder& LeaveDir();
    // A whole file: its record and its blocks, each compressed at `level`.
    PayloadBuilder& File(const std::u16string& name, const std::vector<std::uint8_t>& content, int level = 6,
                         std::uint32_t attributes = 0x20, std::uint64_t lastWriteTime = SampleTime);

    // Pieces for hostile archives.
    struct FileFields {
        std::u16string name;
        std::uint64_t size = 0;
        std::uint64_t blockCount = 0;
        std::uint32_t attributes = 0x20;
        std::uint64_t creationTime = SampleTime;
        std::uint64_t lastWriteTime = SampleTime;
        std::uint16_t nameLength = 0xFFFF; // 0xFFFF: the name's own length
        bool badCrc = false;
    };
    PayloadBuilder& FileRecord(const FileFields& fields);
    PayloadBuilder& DirRecord(const std::u16string& name, bool badCrc, std::uint16_t nameLength = 0xFFFF,
                              std::uint64_t creationTime = SampleTime);
    // One block: `crc` of the data it claims, `packed` as stored.
    PayloadBuilder& Block(std::uint32_t crc, const std::vector<std::uint8_t>& packed);
    PayloadBuilder& Block(std::uint32_t crc, std::uint32_t claimedLength, const std::vector<std::uint8_t>& packed);
    PayloadBuilder& TypeByte(std::uint8_t type);

    // The payload so far; its length marks a record boundary for cut tests.
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    std::size_t Size() const { return bytes_.size(); }

    // Overwrites the plain CipherId byte of the header.
    void SetCipherIdByte(std::uint8_t id);
    // Overwrites the plain help length.
    void SetHelpLength(std::uint16_t units);

private:
    void Piece(std::vector<std::uint8_t> plain);

    CipherContext cipher_;
    std::vector<std::uint8_t> bytes_;
};

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data, int level);
std::uint32_t Crc32Of(const std::vector<std::uint8_t>& data);

// Text-like bytes (compressible) or noise, reproducible from `seed`.
std::vector<std::uint8_t> TextBytes(std::size_t length, std::uint32_t seed);
std::vector<std::uint8_t> NoiseBytes(std::size_t length, std::uint32_t seed);
