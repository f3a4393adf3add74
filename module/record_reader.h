#pragma once
// The reading stage of an extraction: reads and decrypts the record stream
// in archive order and checks each record as it comes (CRC, name, block
// count, lengths), one item per record or block. Nothing here touches the
// file system or the observer, so it can run ahead of the stage that does.

#include "core/archive_format.h"
#include "core/sealed_stream.h"
#include "crypto/cipher.h"
#include "module/extraction_engine.h"
#include "module/payload_source.h"

#include <cstddef>
#include <cstdint>
#include <string>

enum class StreamItemKind { DirEnter, DirLeave, File, Block, End };

// The hand-over between the stages.
struct StreamItem {
    StreamItemKind kind = StreamItemKind::End;
    ExtractResult result = ExtractResult::Done; // End: Done, or what ended the stream
    std::u16string name;                        // DirEnter, File: the name written here
    std::uint64_t size = 0;                     // File
    std::uint64_t blockCount = 0;               // File
    std::uint32_t attributes = 0;               // File
    std::uint64_t creationTime = 0;             // DirEnter, File
    std::uint64_t lastWriteTime = 0;            // File
    std::uint32_t blockCrc = 0;                 // Block
    std::uint32_t packedLength = 0;             // Block
    std::uint8_t* packed = nullptr;             // Block: packedLength bytes of the caller's
};

// Where a block's packed bytes go, asked once their length is known, so that
// a small block need not hold a buffer of the largest size.
class PackedBlockSpace {
public:
    // Room for `length` bytes (at most MaxPackedBlock), the caller's until
    // the item is handed back; null ends the stream with OutOfMemory.
    virtual std::uint8_t* Reserve(std::size_t length) = 0;

protected:
    ~PackedBlockSpace() = default;
};

class RecordReader {
public:
    // Both stay the caller's and in use until the reader is gone.
    RecordReader(PayloadReader& archive, CipherContext& cipher) : archive_(archive), cipher_(cipher) {}
    // Under the authenticated cipher: every record and block comes from the
    // keyed message stream instead of `cipher`.
    RecordReader(PayloadReader& archive, CipherContext& cipher, SealedStreamReader* sealed)
        : archive_(archive), cipher_(cipher), sealed_(sealed)
    {
    }
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    // Fills `item` with the next record or block, a block's bytes in
    // `space`; after an End item every further call gives the same End.
    void Next(StreamItem& item, PackedBlockSpace& space);

private:
    ExtractResult Item(StreamItem& item, PackedBlockSpace& space);
    bool BeginMessage(bool record, ExtractResult* result);
    bool ReadPiece(std::uint8_t* buffer, std::size_t length);
    ExtractResult ReadName();
    ExtractResult EnterDirectory(std::uint8_t type, StreamItem& item);
    ExtractResult LeaveDirectory(StreamItem& item);
    ExtractResult File(std::uint8_t type, StreamItem& item);
    ExtractResult Block(StreamItem& item, PackedBlockSpace& space);

    PayloadReader& archive_;
    CipherContext& cipher_;
    SealedStreamReader* sealed_ = nullptr;
    bool messageOverrun_ = false;
    std::size_t depth_ = 0;
    std::uint64_t blocksLeft_ = 0;
    bool ended_ = false;
    ExtractResult endResult_ = ExtractResult::Done;
    std::uint8_t lengthField_[2] = {};
    std::size_t nameUnits_ = 0;
    std::uint8_t nameBytes_[2 * MaxNameUnits] = {};
    char16_t name_[MaxNameUnits + 1] = {};
};
