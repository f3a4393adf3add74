#include "module/record_reader.h"

#include "crypto/crc32.h"
#include "platform/extract_fs.h"

#include <initializer_list>
#include <utility>

namespace {

std::uint32_t Crc32Of(std::initializer_list<std::pair<const std::uint8_t*, std::size_t>> pieces)
{
    std::uint32_t crc = 0xFFFFFFFFU;
    for (const auto& [data, length] : pieces)
        crc = Crc32Update(crc, data, length);
    return crc ^ 0xFFFFFFFFU;
}

} // namespace

void RecordReader::Next(StreamItem& item)
{
    ExtractResult result = ExtractResult::Done;
    if (!ended_) {
        if (blocksLeft_ > 0) {
            result = Block(item);
        } else {
            std::uint8_t type = 0;
            // There is no end marker: the archive may end between entries,
            // but our writer closes every folder it opens, so an end inside
            // one is a cut.
            if (!ReadPiece(&type, 1)) {
                result = depth_ == 0 ? ExtractResult::Done : ExtractResult::ArchiveError;
                ended_ = true;
            } else {
                switch (static_cast<RecordType>(type)) {
                case RecordType::DirEnter:
                    result = EnterDirectory(type, item);
                    break;
                case RecordType::DirLeave:
                    result = LeaveDirectory(item);
                    break;
                case RecordType::File:
                    result = File(type, item);
                    break;
                default:
                    result = ExtractResult::Corrupted;
                }
            }
        }
        if (result != ExtractResult::Done)
            ended_ = true;
        if (ended_)
            endResult_ = result;
    }
    if (ended_) {
        item.kind = StreamItemKind::End;
        item.result = endResult_;
    }
}

// Reads one field and decrypts it with a call of its own: for RC4 the cut
// into calls is part of the stream.
bool RecordReader::ReadPiece(std::uint8_t* buffer, std::size_t length)
{
    if (!archive_.ReadExact(buffer, length))
        return false;
    CipherProcess(&cipher_, buffer, length);
    return true;
}

// Reads L and the name behind it, refusing a length the buffer cannot hold
// before anything is read into it.
ExtractResult RecordReader::ReadName()
{
    if (!ReadPiece(lengthField_, 2))
        return ExtractResult::ArchiveError;
    nameUnits_ = LoadLe16(lengthField_);
    if (nameUnits_ > MaxNameUnits)
        return ExtractResult::Corrupted;
    if (!ReadPiece(nameBytes_, 2 * nameUnits_))
        return ExtractResult::ArchiveError;
    for (std::size_t i = 0; i < nameUnits_; ++i)
        name_[i] = static_cast<char16_t>(LoadLe16(nameBytes_ + 2 * i));
    name_[nameUnits_] = 0;
    return ExtractResult::Done;
}

ExtractResult RecordReader::EnterDirectory(std::uint8_t type, StreamItem& item)
{
    std::uint8_t crcField[4];
    std::uint8_t timeField[8];
    if (!ReadPiece(crcField, 4) || !ReadPiece(timeField, 8))
        return ExtractResult::ArchiveError;
    if (auto result = ReadName(); result != ExtractResult::Done)
        return result;
    const std::uint32_t crc =
        Crc32Of({{&type, 1}, {timeField, 8}, {lengthField_, 2}, {nameBytes_, 2 * nameUnits_}});
    auto name = WritableEntryName({name_, nameUnits_});
    if (crc != LoadLe32(crcField) || !name)
        return ExtractResult::Corrupted;
    item.kind = StreamItemKind::DirEnter;
    item.name = std::move(*name);
    item.creationTime = LoadLe64(timeField);
    ++depth_;
    return ExtractResult::Done;
}

ExtractResult RecordReader::LeaveDirectory(StreamItem& item)
{
    // Leaving the destination itself would climb out of it.
    if (depth_ == 0)
        return ExtractResult::Corrupted;
    --depth_;
    item.kind = StreamItemKind::DirLeave;
    return ExtractResult::Done;
}

ExtractResult RecordReader::File(std::uint8_t type, StreamItem& item)
{
    std::uint8_t crcField[4];
    std::uint8_t sizeFields[16];
    std::uint8_t attributeFields[20];
    if (!ReadPiece(crcField, 4) || !ReadPiece(sizeFields, 16) || !ReadPiece(attributeFields, 20))
        return ExtractResult::ArchiveError;
    if (auto result = ReadName(); result != ExtractResult::Done)
        return result;
    const std::uint32_t crc = Crc32Of({{&type, 1},
                                       {sizeFields, 16},
                                       {attributeFields, 20},
                                       {lengthField_, 2},
                                       {nameBytes_, 2 * nameUnits_}});
    auto name = WritableEntryName({name_, nameUnits_});
    if (crc != LoadLe32(crcField) || !name)
        return ExtractResult::Corrupted;
    const std::uint64_t size = LoadLe64(sizeFields);
    const std::uint64_t blockCount = LoadLe64(sizeFields + 8);
    // The size bounds what the file may receive: each block holds at most
    // BlockSize bytes, and a writer stores exactly this many (also for a
    // file that grew or shrank while it was read).
    if (blockCount != BlockCountFor(size, BlockSize))
        return ExtractResult::Corrupted;
    item.kind = StreamItemKind::File;
    item.name = std::move(*name);
    item.size = size;
    item.blockCount = blockCount;
    item.attributes = LoadLe32(attributeFields);
    item.creationTime = LoadLe64(attributeFields + 4);
    item.lastWriteTime = LoadLe64(attributeFields + 12);
    blocksLeft_ = blockCount;
    return ExtractResult::Done;
}

ExtractResult RecordReader::Block(StreamItem& item)
{
    if (item.packed == nullptr)
        return ExtractResult::OutOfMemory;
    std::uint8_t crcField[4];
    std::uint8_t lengthField[4];
    if (!ReadPiece(crcField, 4) || !ReadPiece(lengthField, 4))
        return ExtractResult::ArchiveError;
    const std::uint32_t packed = LoadLe32(lengthField);
    if (packed > MaxPackedBlock)
        return ExtractResult::Corrupted;
    if (!ReadPiece(item.packed, packed))
        return ExtractResult::ArchiveError;
    item.kind = StreamItemKind::Block;
    item.blockCrc = LoadLe32(crcField);
    item.packedLength = packed;
    --blocksLeft_;
    return ExtractResult::Done;
}
