#include "payload_builder.h"

#include "core/archive_format.h"
#include "core/key_derivation.h"
#include "crypto/crc32.h"

#include <stdexcept>
#include <zlib.h>

namespace {

void AppendLe(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::vector<std::uint8_t> NameBytes(const std::u16string& name)
{
    std::vector<std::uint8_t> bytes;
    for (const char16_t unit : name)
        AppendLe(bytes, unit, 2);
    return bytes;
}

std::uint32_t CrcOfPieces(std::initializer_list<const std::vector<std::uint8_t>*> pieces)
{
    std::uint32_t crc = 0xFFFFFFFFU;
    for (const auto* piece : pieces)
        crc = Crc32Update(crc, piece->data(), piece->size());
    return crc ^ 0xFFFFFFFFU;
}

std::vector<std::uint8_t> Le(std::uint64_t value, int bytes)
{
    std::vector<std::uint8_t> out;
    AppendLe(out, value, bytes);
    return out;
}

} // namespace

PayloadBuilder::PayloadBuilder(std::uint32_t cipherId, const std::u16string& passphrase,
                               const std::u16string& help, const std::u16string& keyfileLocation)
{
    AppendLe(bytes_, help.size(), 2);
    const auto helpBytes = NameBytes(help);
    bytes_.insert(bytes_.end(), helpBytes.begin(), helpBytes.end());

    std::uint8_t header[CipherHeaderSize] = {};
    header[HeaderCipherIdOffset] = static_cast<std::uint8_t>(cipherId);
    for (std::uint32_t i = 0; i < CipherIvLength(cipherId); ++i)
        header[HeaderIvOffset + i] = static_cast<std::uint8_t>(0x10 + i);
    for (std::size_t i = 0; i < HeaderSaltLength; ++i)
        header[HeaderSaltOffset + i] = static_cast<std::uint8_t>(0x40 + i);

    std::uint8_t key[KeyBufferLength] = {};
    const DeriveKeyResult derived =
        DeriveKey(cipherId, passphrase.empty() ? nullptr : passphrase.c_str(),
                  keyfileLocation.empty() ? nullptr : keyfileLocation.c_str(), header + HeaderSaltOffset, key,
                  "Ironquiver_SDA");
    if (derived != DeriveKeyResult::Ok)
        throw std::runtime_error("key derivation failed");
    if (CipherInit(&cipher_, cipherId, CipherKeyLength(cipherId), header + HeaderIvOffset, key,
                   CipherDirection::Encrypt) == 0)
        throw std::runtime_error("cipher setup failed");
    StoreLe32(header + HeaderCheckValueOffset, CheckValue);
    CipherProcess(&cipher_, header + HeaderCheckValueOffset, 4);
    bytes_.insert(bytes_.end(), header, header + CipherHeaderSize);
}

PayloadBuilder::~PayloadBuilder()
{
    CipherRelease(&cipher_);
}

void PayloadBuilder::Piece(std::vector<std::uint8_t> plain)
{
    CipherProcess(&cipher_, plain.data(), plain.size());
    bytes_.insert(bytes_.end(), plain.begin(), plain.end());
}

PayloadBuilder& PayloadBuilder::TypeByte(std::uint8_t type)
{
    Piece({type});
    return *this;
}

PayloadBuilder& PayloadBuilder::DirRecord(const std::u16string& name, bool badCrc, std::uint16_t nameLength,
                                          std::uint64_t creationTime)
{
    const std::vector<std::uint8_t> type{static_cast<std::uint8_t>(RecordType::DirEnter)};
    const auto time = Le(creationTime, 8);
    const auto length = Le(nameLength == 0xFFFF ? name.size() : nameLength, 2);
    const auto nameBytes = NameBytes(name);
    const std::uint32_t crc = CrcOfPieces({&type, &time, &length, &nameBytes}) ^ (badCrc ? 1U : 0U);
    Piece(type);
    Piece(Le(crc, 4));
    Piece(time);
    Piece(length);
    Piece(nameBytes);
    return *this;
}

PayloadBuilder& PayloadBuilder::EnterDir(const std::u16string& name, std::uint64_t creationTime)
{
    return DirRecord(name, false, 0xFFFF, creationTime);
}

PayloadBuilder& PayloadBuilder::LeaveDir()
{
    return TypeByte(static_cast<std::uint8_t>(RecordType::DirLeave));
}

PayloadBuilder& PayloadBuilder::FileRecord(const FileFields& fields)
{
    const std::vector<std::uint8_t> type{static_cast<std::uint8_t>(RecordType::File)};
    std::vector<std::uint8_t> sizes = Le(fields.size, 8);
    AppendLe(sizes, fields.blockCount, 8);
    std::vector<std::uint8_t> attributes = Le(fields.attributes, 4);
    AppendLe(attributes, fields.creationTime, 8);
    AppendLe(attributes, fields.lastWriteTime, 8);
    const auto length = Le(fields.nameLength == 0xFFFF ? fields.name.size() : fields.nameLength, 2);
    const auto nameBytes = NameBytes(fields.name);
    const std::uint32_t crc =
        CrcOfPieces({&type, &sizes, &attributes, &length, &nameBytes}) ^ (fields.badCrc ? 1U : 0U);
    Piece(type);
    Piece(Le(crc, 4));
    Piece(sizes);
    Piece(attributes);
    Piece(length);
    Piece(nameBytes);
    return *this;
}

PayloadBuilder& PayloadBuilder::Block(std::uint32_t crc, const std::vector<std::uint8_t>& packed)
{
    return Block(crc, static_cast<std::uint32_t>(packed.size()), packed);
}

PayloadBuilder& PayloadBuilder::Block(std::uint32_t crc, std::uint32_t claimedLength,
                                      const std::vector<std::uint8_t>& packed)
{
    Piece(Le(crc, 4));
    Piece(Le(claimedLength, 4));
    Piece(packed);
    return *this;
}

PayloadBuilder& PayloadBuilder::File(const std::u16string& name, const std::vector<std::uint8_t>& content,
                                     int level, std::uint32_t attributes, std::uint64_t lastWriteTime)
{
    FileFields fields;
    fields.name = name;
    fields.size = content.size();
    fields.blockCount = BlockCount(content.size());
    fields.attributes = attributes;
    fields.lastWriteTime = lastWriteTime;
    FileRecord(fields);
    for (std::size_t offset = 0; offset < content.size(); offset += BlockSize) {
        const std::vector<std::uint8_t> block(
            content.begin() + static_cast<std::ptrdiff_t>(offset),
            content.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(offset + BlockSize, content.size())));
        Block(Crc32Of(block), Deflate(block, level));
    }
    return *this;
}

void PayloadBuilder::SetCipherIdByte(std::uint8_t id)
{
    const std::size_t helpUnits = LoadLe16(bytes_.data());
    bytes_.at(2 + 2 * helpUnits + HeaderCipherIdOffset) = id;
}

void PayloadBuilder::SetHelpLength(std::uint16_t units)
{
    StoreLe16(bytes_.data(), units);
}

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data, int level)
{
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    std::vector<std::uint8_t> packed(length);
    if (compress2(packed.data(), &length, data.data(), static_cast<uLong>(data.size()), level) != Z_OK)
        throw std::runtime_error("compress2 failed");
    packed.resize(length);
    return packed;
}

std::uint32_t Crc32Of(const std::vector<std::uint8_t>& data)
{
    return Crc32Update(0xFFFFFFFFU, data.data(), data.size()) ^ 0xFFFFFFFFU;
}

std::vector<std::uint8_t> TextBytes(std::size_t length, std::uint32_t seed)
{
    static const char* const words[] = {"archive ", "block ", "cipher ", "folder ", "the ", "of ", "key ",
                                        "passphrase ", "zlib ", "record\n", "and ", "module "};
    std::vector<std::uint8_t> out;
    out.reserve(length);
    std::uint32_t state = seed * 2654435761U + 1;
    while (out.size() < length) {
        state = state * 1664525U + 1013904223U;
        for (const char* c = words[(state >> 16) % std::size(words)]; *c != '\0' && out.size() < length; ++c)
            out.push_back(static_cast<std::uint8_t>(*c));
    }
    return out;
}

std::vector<std::uint8_t> NoiseBytes(std::size_t length, std::uint32_t seed)
{
    std::vector<std::uint8_t> out(length);
    std::uint64_t state = seed * 0x9E3779B97F4A7C15ULL + 0x2545F4914F6CDD1DULL;
    for (auto& byte : out) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return out;
}
