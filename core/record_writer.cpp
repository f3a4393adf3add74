#include "core/record_writer.h"

#include "crypto/crc32.h"
#include "platform/zlib_memory.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <span>
#include <unistd.h>
#include <utility>

// Names are stored as UTF-16LE, which is their memory image here.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr std::size_t FileRecordFixedLength = 43;
constexpr std::size_t DirEnterRecordFixedLength = 15;
constexpr std::size_t RecordCrcOffset = 1;

CoreResult WriteField(SdaContext& context, std::uint8_t* data, std::size_t length)
{
    CipherProcess(&context.cipher, data, length);
    return WriteAll(context.archive.Get(), data, length) ? IQ_OK : IQ_ARCHIVE_ERROR;
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
    std::size_t offset = 0;
    for (const std::size_t piece : pieces) {
        if (const CoreResult result = WriteField(context, record + offset, piece); result != IQ_OK)
            return result;
        offset += piece;
    }
    return WriteField(context, record + offset, length - offset);
}

// zlib's bound for one stream as the format fixes it; MaxPackedBlock for a
// full block, so a block never exceeds what the extractor can hold.
std::size_t PackedCapacity(std::size_t length)
{
    return length + length / 4096 + length / 16384 + 11;
}

// Ends the compressor on every path out of a block.
class DeflateSession {
public:
    explicit DeflateSession(z_stream* stream) : stream_(stream) {}
    DeflateSession(const DeflateSession&) = delete;
    DeflateSession& operator=(const DeflateSession&) = delete;
    ~DeflateSession()
    {
        if (stream_ != nullptr)
            (void)deflateEnd(stream_);
    }
    int End() { return deflateEnd(std::exchange(stream_, nullptr)); }

private:
    z_stream* stream_;
};

} // namespace

bool WriteAll(int fd, const void* data, std::size_t length)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (length > 0) {
        const ssize_t written = ::write(fd, bytes, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

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
    return WriteField(context, &type, 1);
}

CoreResult WriteDataBlock(SdaContext& context, std::size_t length, int level)
{
    BlockBuffers& buffers = *context.buffers;
    const std::uint32_t crc = ~Crc32Update(0xFFFFFFFFU, buffers.read, length);

    z_stream& stream = buffers.stream;
    stream = z_stream{};
    UseWipingAllocator(stream); // zlib's window holds the block's plaintext
    const int init = deflateInit(&stream, level);
    if (init == Z_MEM_ERROR)
        return IQ_OUT_OF_MEMORY;
    if (init != Z_OK)
        return IQ_COMPRESSION_ERROR;
    DeflateSession session(&stream);
    const std::size_t capacity = PackedCapacity(length);
    stream.next_in = buffers.read;
    stream.avail_in = static_cast<uInt>(length);
    stream.next_out = buffers.packed;
    stream.avail_out = static_cast<uInt>(capacity);
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
        return IQ_COMPRESSION_ERROR;
    const std::size_t packed = capacity - stream.avail_out;
    if (session.End() != Z_OK)
        return IQ_COMPRESSION_ERROR;

    std::uint8_t header[8];
    StoreLe32(header, crc);
    StoreLe32(header + 4, static_cast<std::uint32_t>(packed));
    CoreResult result = WriteField(context, header, 4);
    if (result == IQ_OK)
        result = WriteField(context, header + 4, 4);
    if (result == IQ_OK)
        result = WriteField(context, buffers.packed, packed);
    return result;
}
