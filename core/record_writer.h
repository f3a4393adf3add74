#pragma once
// Puts records and blocks into the archive's cipher stream: every field goes
// through its own CipherProcess call, in place, and is then written (through
// the context's buffer), so the cut of the stream is exactly the one the
// extractor repeats.

#include "core/sda_context.h"
#include "platform/descriptor_io.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

struct FileRecordFields {
    std::uint64_t size = 0;
    std::uint64_t blockCount = 0;
    std::uint32_t attributes = 0;
    std::uint64_t creationTime = 0;
    std::uint64_t lastWriteTime = 0;
};

// `name` has at most MaxNameUnits units. Results: IQ_OK or IQ_ARCHIVE_ERROR.
CoreResult WriteFileRecord(SdaContext& context, const FileRecordFields& fields, std::u16string_view name);
CoreResult WriteDirEnterRecord(SdaContext& context, std::uint64_t creationTime, std::u16string_view name);
CoreResult WriteDirLeaveRecord(SdaContext& context);

// Writes a prepared block as its DataBlock: the CRC of its plaintext and its
// stream of `packedLength` bytes, encrypted in place. Results: IQ_OK or
// IQ_ARCHIVE_ERROR.
CoreResult WriteDataBlock(SdaContext& context, std::uint32_t crc, std::uint8_t* packed, std::uint32_t packedLength);

// Writes out what the fields above gathered; every export that reports
// success has called it. Results: IQ_OK or IQ_ARCHIVE_ERROR.
CoreResult FlushArchive(SdaContext& context);

// Writes out what is gathered and closes the authenticated cipher's stream with its final message; nothing
// to do for the other ciphers. Results: IQ_OK or IQ_ARCHIVE_ERROR.
CoreResult WriteStreamEnd(SdaContext& context);
