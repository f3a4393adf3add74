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

void RecordReader::Next(StreamItem& item, PackedBlockSpace& space)
{
    if (!ended_) {
        ExtractResult result = Item(item, space);
        // A record or block shorter than its authenticated message says is
        // the writer's damage, not a cut.
        if (result == ExtractResult::ArchiveError && messageOverrun_)
            result = ExtractResult::Corrupted;
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

// One record or block; ended_ is set when the stream ends cleanly.
ExtractResult RecordReader::Item(StreamItem& item, PackedBlockSpace& space)
{
    const bool record = blocksLeft_ == 0;
    ExtractResult result = ExtractResult::Done;
    if (!BeginMessage(record, &result))
        return result;
    if (!record)
        return Block(item, space);
    std::uint8_t type = 0;
    if (!ReadPiece(&type, 1)) {
        // There is no end marker: the archive may end between entries, but
        // our writer closes every folder it opens, so an end inside one is
        // a cut.
        ended_ = true;
        return depth_ == 0 ? ExtractResult::Done : ExtractResult::ArchiveError;
    }
    switch (static_cast<RecordType>(type)) {
    case RecordType::DirEnter:
        return EnterDirectory(type, item);
    case RecordType::DirLeave:
        return LeaveDirectory(item);
    case RecordType::File:
        return File(type, item);
    default:
        return ExtractResult::Corrupted;
    }
}

// Every record and every block is a message of its own under the
// authenticated cipher: the next one is authenticated whole before any field
// of it is used. False when the stream ends here, with `*result` saying
// how. Nothing to do for the other ciphers, whose stream has no messages.
bool RecordReader::BeginMessage(bool record, ExtractResult* result)
{
    if (sealed_ == nullptr)
        return true;
    const auto read = [](void* archive, std::uint8_t* buffer, std::size_t length) {
        return static_cast<PayloadReader*>(archive)->ReadExact(buffer, length);
    };
    switch (sealed_->Next(read, &archive_)) {
    case SealedStreamReader::Pull::Message:
        return true;
    case SealedStreamReader::Pull::End:
        // The final message closes the stream, between entries and outside
        // every folder only.
        ended_ = true;
        *result = record && depth_ == 0 ? ExtractResult::Done : ExtractResult::Corrupted;
        return false;
    case SealedStreamReader::Pull::Cut:
        *result = ExtractResult::ArchiveError;
        return false;
    case SealedStreamReader::Pull::Damaged:
        break;
    }
    *result = ExtractResult::Corrupted;
    return false;
}

// Reads one field and decrypts it with a call of its own: for RC4 the cut
// into calls is part of the stream. Under the authenticated cipher the
// field comes from the message already verified.
bool RecordReader::ReadPiece(std::uint8_t* buffer, std::size_t length)
{
    if (sealed_ != nullptr) {
        messageOverrun_ = !sealed_->Take(buffer, length);
        return !messageOverrun_;
    }
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

ExtractResult RecordReader::Block(StreamItem& item, PackedBlockSpace& space)
{
    std::uint8_t crcField[4];
    std::uint8_t lengthField[4];
    if (!ReadPiece(crcField, 4) || !ReadPiece(lengthField, 4))
        return ExtractResult::ArchiveError;
    const std::uint32_t packed = LoadLe32(lengthField);
    if (packed > MaxPackedBlock)
        return ExtractResult::Corrupted;
    item.packed = space.Reserve(packed);
    if (item.packed == nullptr)
        return ExtractResult::OutOfMemory;
    if (!ReadPiece(item.packed, packed))
        return ExtractResult::ArchiveError;
    item.kind = StreamItemKind::Block;
    item.blockCrc = LoadLe32(crcField);
    item.packedLength = packed;
    --blocksLeft_;
    return ExtractResult::Done;
}
