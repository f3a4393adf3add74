#pragma once
// A small, strict reader of archive payloads for the tests: it decrypts
// field by field as the extractor must, checks every CRC and zlib stream,
// and keeps the records and the decrypted stream for inspection.

#include "core/archive_format.h"

#include <array>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

struct ReadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct ArchiveRecord {
    RecordType type = RecordType::DirLeave;
    std::u16string name;
    std::uint64_t size = 0;
    std::uint64_t blockCount = 0;
    std::uint32_t attributes = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t lastWriteTime = 0;
    std::vector<std::uint32_t> packedLengths;
    std::vector<std::uint32_t> blockLengths;
    std::vector<std::uint8_t> data;
};

struct ParsedArchive {
    std::u16string help;
    std::array<std::uint8_t, CipherHeaderSize> header{};
    std::vector<ArchiveRecord> records;
    // Everything from the CheckValue on, decrypted piece by piece.
    std::vector<std::uint8_t> plainStream;

    std::uint32_t CipherId() const { return header[HeaderCipherIdOffset]; }
    const ArchiveRecord& Find(std::u16string_view name) const;
};

// Throws ReadError on a wrong key, damage or truncation inside a record.
ParsedArchive ReadArchive(std::span<const std::uint8_t> payload, const char16_t* passphrase,
                          const char16_t* keyfile = nullptr);

// The stream from the CheckValue on, decrypted in one CipherProcess call.
std::vector<std::uint8_t> DecryptStreamInOneCall(std::span<const std::uint8_t> payload,
                                                 const char16_t* passphrase);

// The record sequence in brief: "+dir" enters, "-" leaves, "name/size" is a
// file; separated by spaces.
std::string Outline(const ParsedArchive& archive);
