#include "archive_reader.h"

#include "core/key_derivation.h"
#include "crypto/cipher.h"
#include "crypto/crc32.h"
#include "platform/utf.h"

#include <cstring>
#include <memory>
#include <zlib.h>

namespace {

struct CipherOwner {
    CipherContext context;
    ~CipherOwner() { CipherRelease(&context); }
};

std::size_t StreamStart(std::span<const std::uint8_t> payload, ParsedArchive* archive)
{
    if (payload.size() < 2)
        throw ReadError("no help length");
    const std::size_t units = LoadLe16(payload.data());
    const std::size_t headerAt = 2 + 2 * units;
    if (payload.size() < headerAt + CipherHeaderSize)
        throw ReadError("truncated header");
    archive->help.resize(units);
    std::memcpy(archive->help.data(), payload.data() + 2, 2 * units);
    std::memcpy(archive->header.data(), payload.data() + headerAt, CipherHeaderSize);
    return headerAt + HeaderCheckValueOffset;
}

void KeyCipher(const ParsedArchive& archive, const char16_t* passphrase, const char16_t* keyfile,
               CipherContext* cipher)
{
    std::uint8_t key[KeyBufferLength] = {};
    const std::uint32_t id = archive.CipherId();
    if (DeriveKey(id, passphrase, keyfile, archive.header.data() + HeaderSaltOffset, key, "test") !=
        DeriveKeyResult::Ok)
        throw ReadError("key derivation failed");
    if (CipherInit(cipher, id, CipherKeyLength(id), archive.header.data() + HeaderIvOffset, key,
                   CipherDirection::Decrypt) == 0)
        throw ReadError("cipher not keyed");
}

class Cursor {
public:
    Cursor(std::span<const std::uint8_t> payload, std::size_t position, CipherContext* cipher,
           std::vector<std::uint8_t>* plain)
        : payload_(payload), position_(position), cipher_(cipher), plain_(plain)
    {
    }

    bool AtEnd() const { return position_ == payload_.size(); }

    std::vector<std::uint8_t> Field(std::size_t length)
    {
        if (payload_.size() - position_ < length)
            throw ReadError("truncated inside a record");
        std::vector<std::uint8_t> field(payload_.begin() + position_, payload_.begin() + position_ + length);
        position_ += length;
        CipherProcess(cipher_, field.data(), field.size());
        plain_->insert(plain_->end(), field.begin(), field.end());
        return field;
    }

private:
    std::span<const std::uint8_t> payload_;
    std::size_t position_;
    CipherContext* cipher_;
    std::vector<std::uint8_t>* plain_;
};

std::uint32_t Crc(std::uint32_t crc, const std::vector<std::uint8_t>& bytes)
{
    return Crc32Update(crc, bytes.data(), bytes.size());
}

std::u16string ReadName(Cursor& cursor, std::uint32_t* crc)
{
    const auto length = cursor.Field(2);
    const std::size_t units = LoadLe16(length.data());
    if (units > MaxNameUnits)
        throw ReadError("name too long");
    const auto name = cursor.Field(2 * units);
    *crc = Crc(Crc(*crc, length), name);
    std::u16string text(units, u'\0');
    std::memcpy(text.data(), name.data(), name.size());
    return text;
}

void CheckCrc(const std::vector<std::uint8_t>& stored, std::uint32_t crc)
{
    if (LoadLe32(stored.data()) != ~crc)
        throw ReadError("record CRC mismatch");
}

std::vector<std::uint8_t> Inflate(const std::vector<std::uint8_t>& packed)
{
    std::vector<std::uint8_t> out(BlockSize);
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        throw ReadError("inflateInit");
    stream.next_in = const_cast<std::uint8_t*>(packed.data());
    stream.avail_in = static_cast<uInt>(packed.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    const std::size_t produced = out.size() - stream.avail_out;
    const bool consumed = stream.avail_in == 0;
    inflateEnd(&stream);
    if (result != Z_STREAM_END || !consumed)
        throw ReadError("block does not inflate to one complete stream");
    out.resize(produced);
    return out;
}

ArchiveRecord ReadFileRecord(Cursor& cursor, std::uint8_t type)
{
    ArchiveRecord record;
    record.type = RecordType::File;
    const auto crcField = cursor.Field(4);
    const auto counts = cursor.Field(16);
    const auto details = cursor.Field(20);
    std::uint32_t crc = Crc32Update(0xFFFFFFFFU, &type, 1);
    crc = Crc(Crc(crc, counts), details);
    record.name = ReadName(cursor, &crc);
    CheckCrc(crcField, crc);
    record.size = LoadLe64(counts.data());
    record.blockCount = LoadLe64(counts.data() + 8);
    record.attributes = LoadLe32(details.data());
    record.creationTime = LoadLe64(details.data() + 4);
    record.lastWriteTime = LoadLe64(details.data() + 12);
    for (std::uint64_t block = 0; block < record.blockCount; ++block) {
        const auto blockCrc = cursor.Field(4);
        const auto packedLength = cursor.Field(4);
        const std::uint32_t packed = LoadLe32(packedLength.data());
        if (packed > MaxPackedBlock)
            throw ReadError("packed block too long");
        const auto data = Inflate(cursor.Field(packed));
        if (LoadLe32(blockCrc.data()) != ~Crc(0xFFFFFFFFU, data))
            throw ReadError("block CRC mismatch");
        record.packedLengths.push_back(packed);
        record.blockLengths.push_back(static_cast<std::uint32_t>(data.size()));
        record.data.insert(record.data.end(), data.begin(), data.end());
    }
    return record;
}

ArchiveRecord ReadDirEnterRecord(Cursor& cursor, std::uint8_t type)
{
    ArchiveRecord record;
    record.type = RecordType::DirEnter;
    const auto crcField = cursor.Field(4);
    const auto time = cursor.Field(8);
    std::uint32_t crc = Crc(Crc32Update(0xFFFFFFFFU, &type, 1), time);
    record.name = ReadName(cursor, &crc);
    CheckCrc(crcField, crc);
    record.creationTime = LoadLe64(time.data());
    return record;
}

std::string ToUtf8(const std::u16string& text)
{
    return Utf16ToUtf8(text).value_or("<invalid UTF-16>");
}

} // namespace

const ArchiveRecord& ParsedArchive::Find(std::u16string_view name) const
{
    for (const ArchiveRecord& record : records)
        if (record.type != RecordType::DirLeave && record.name == name)
            return record;
    throw ReadError("no record named " + ToUtf8(std::u16string(name)));
}

ParsedArchive ReadArchive(std::span<const std::uint8_t> payload, const char16_t* passphrase,
                          const char16_t* keyfile)
{
    ParsedArchive archive;
    const std::size_t start = StreamStart(payload, &archive);
    CipherOwner cipher;
    KeyCipher(archive, passphrase, keyfile, &cipher.context);
    Cursor cursor(payload, start, &cipher.context, &archive.plainStream);
    if (LoadLe32(cursor.Field(4).data()) != CheckValue)
        throw ReadError("wrong passphrase or keyfile");

    while (!cursor.AtEnd()) {
        const std::uint8_t type = cursor.Field(1)[0];
        switch (static_cast<RecordType>(type)) {
        case RecordType::File:
            archive.records.push_back(ReadFileRecord(cursor, type));
            break;
        case RecordType::DirEnter:
            archive.records.push_back(ReadDirEnterRecord(cursor, type));
            break;
        case RecordType::DirLeave:
            archive.records.push_back(ArchiveRecord{});
            break;
        default:
            throw ReadError("unknown record type " + std::to_string(type));
        }
    }
    return archive;
}

std::vector<std::uint8_t> DecryptStreamInOneCall(std::span<const std::uint8_t> payload,
                                                 const char16_t* passphrase)
{
    ParsedArchive archive;
    const std::size_t start = StreamStart(payload, &archive);
    CipherOwner cipher;
    KeyCipher(archive, passphrase, nullptr, &cipher.context);
    std::vector<std::uint8_t> stream(payload.begin() + start, payload.end());
    CipherProcess(&cipher.context, stream.data(), stream.size());
    return stream;
}

std::string Outline(const ParsedArchive& archive)
{
    std::string outline;
    for (const ArchiveRecord& record : archive.records) {
        if (!outline.empty())
            outline += ' ';
        switch (record.type) {
        case RecordType::DirEnter:
            outline += '+' + ToUtf8(record.name);
            break;
        case RecordType::DirLeave:
            outline += '-';
            break;
        case RecordType::File:
            outline += ToUtf8(record.name) + '/' + std::to_string(record.size);
            break;
        }
    }
    return outline;
}
