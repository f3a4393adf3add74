#include "core/record_writer.h"

#include "crypto/crc32.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <span>
#include <unistd.h>

// Names are stored as UTF-16LE, which is their memory image here.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr std::size_t FileRecordFixedLength = 43;
constexpr std::size_t DirEnterRecordFixedLength = 15;
constexpr std::size_t RecordCrcOffset = 1;

// The sealed stream writes its messages itself, after what was gathered.
CoreResult WriteMessage(SdaContext& context, std::span<const std::span<const std::uint8_t>> pieces, bool final)
{
    if (!context.pending.Flush(context.archive.Get()))
        return IQ_ARCHIVE_ERROR;
    return context.sealed.Write(context.archive.Get(), pieces, final) ? IQ_OK : IQ_ARCHIVE_ERROR;
}

CoreResult WriteField(SdaContext& context, std::uint8_t* data, std::size_t length)
{
    CipherProcess(&context.cipher, data, length);
    return context.pending.Write(context.archive.Get(), data, length) ? IQ_OK : IQ_ARCHIVE_ERROR;
}

// The record CRC covers the record as stored without its CRC field.
void StoreRecordCrc(std::uint8_t* record, std::size_t length)
{
    std::uint32_t crc = Crc32Update(0xFFFFFFFFU, record, RecordCrcOffset);
    crc = Crc32Update(crc, record + RecordCrcOffset + 4, length - RecordCrcOffset - 4);
    StoreLe32(record + RecordCrcOffset, ~crc);
}

// Writes `record` as its fixed pieces followed by the name.
CoreResult WritePieces(SdaContext& context, std::uint8_t* record, std::size_t length,
                       std::span<const std::size_t> pieces)
{
    if (context.sealed.Started()) {
        const std::span<const std::uint8_t> whole[] = {{record, length}};
        return WriteMessage(context, whole, false);
    }
    std::size_t offset = 0;
    for (const std::size_t piece : pieces) {
        if (const CoreResult result = WriteField(context, record + offset, piece); result != IQ_OK)
            return result;
        offset += piece;
    }
    return WriteField(context, record + offset, length - offset);
}

} // namespace

CoreResult WriteFileRecord(SdaContext& context, const FileRecordFields& fields, std::u16string_view name)
{
    std::uint8_t record[FileRecordFixedLength + 2 * MaxNameUnits];
    const std::size_t length = FileRecordFixedLength + 2 * name.size();
    record[0] = static_cast<std::uint8_t>(RecordType::File);
    StoreLe64(record + 5, fields.size);
    StoreLe64(record + 13, fields.blockCount);
    StoreLe32(record + 21, fields.attributes);
    StoreLe64(record + 25, fields.creationTime);
    StoreLe64(record + 33, fields.lastWriteTime);
    StoreLe16(record + 41, static_cast<std::uint16_t>(name.size()));
    std::memcpy(record + FileRecordFixedLength, name.data(), 2 * name.size());
    StoreRecordCrc(record, length);
    return WritePieces(context, record, length, FileRecordPieces);
}

CoreResult WriteDirEnterRecord(SdaContext& context, std::uint64_t creationTime, std::u16string_view name)
{
    std::uint8_t record[DirEnterRecordFixedLength + 2 * MaxNameUnits];
    const std::size_t length = DirEnterRecordFixedLength + 2 * name.size();
    record[0] = static_cast<std::uint8_t>(RecordType::DirEnter);
    StoreLe64(record + 5, creationTime);
    StoreLe16(record + 13, static_cast<std::uint16_t>(name.size()));
    std::memcpy(record + DirEnterRecordFixedLength, name.data(), 2 * name.size());
    StoreRecordCrc(record, length);
    return WritePieces(context, record, length, DirEnterRecordPieces);
}

CoreResult WriteDirLeaveRecord(SdaContext& context)
{
    std::uint8_t type = static_cast<std::uint8_t>(RecordType::DirLeave);
    if (context.sealed.Started()) {
        const std::span<const std::uint8_t> whole[] = {{&type, 1}};
        return WriteMessage(context, whole, false);
    }
    return WriteField(context, &type, 1);
}

CoreResult WriteDataBlock(SdaContext& context, std::uint32_t crc, std::uint8_t* packed, std::uint32_t packedLength)
{
    std::uint8_t header[8];
    StoreLe32(header, crc);
    StoreLe32(header + 4, packedLength);
    if (context.sealed.Started()) {
        const std::span<const std::uint8_t> pieces[] = {{header, sizeof header}, {packed, packedLength}};
        return WriteMessage(context, pieces, false);
    }
    CoreResult result = WriteField(context, header, 4);
    if (result == IQ_OK)
        result = WriteField(context, header + 4, 4);
    if (result == IQ_OK)
        result = WriteField(context, packed, packedLength);
    return result;
}

CoreResult WriteStreamEnd(SdaContext& context)
{
    if (!context.sealed.Started())
        return FlushArchive(context);
    return WriteMessage(context, {}, true);
}

CoreResult FlushArchive(SdaContext& context)
{
    return context.pending.Flush(context.archive.Get()) ? IQ_OK : IQ_ARCHIVE_ERROR;
}
