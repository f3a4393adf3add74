#pragma once
// The reading half of the archive format: key check, record walk, inflation
// and verification of every block, files and directories restored below the
// destination. One run per call; the caller owns the state so that another
// thread can release it after it has stopped the run at a checkpoint.

#include "crypto/cipher.h"
#include "core/sealed_stream.h"
#include "module/payload_source.h"
#include "module/pending_output.h"
#include "platform/extract_fs.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <zlib.h>

// The outcome of one run; the values are the codes the user sees.
enum class ExtractResult : std::uint32_t {
    Done = 0,
    OutOfMemory = 1,
    NoDiskSpace = 2,
    KeyfileError = 3,
    ArchiveError = 4,
    OutputFileError = 5,
    OutputDirError = 6,
    WrongKey = 7,
    Corrupted = 8,
    DecompressorError = 9,
};

// The passphrase is hashed as its first 255 units only.
inline constexpr std::size_t MaxPassphraseUnits = 255;

enum class ExtractMode {
    Extract, // restore everything below the destination
    Test,    // decrypt, inflate and verify everything, write nothing
    List,    // decrypt and verify the records, skip over the blocks, write nothing
};

enum class EntryKind { Directory, File };

// What a verified record holds, valid during the callback only.
struct ExtractEntry {
    EntryKind kind;
    std::u16string_view name;
    std::uint64_t size;          // files only
    std::uint32_t attributes;    // files only
    std::uint64_t creationTime;  // FILETIME
    std::uint64_t lastWriteTime; // FILETIME, files only
};

// Hooks into the caller, all called on the thread of the run. Any of them
// may throw to stop the run: the state is released and the exception passes
// on.
class ExtractObserver {
public:
    virtual ~ExtractObserver() = default;
    // Once per directory and file record, after its CRC has been verified
    // and before anything is created. The name is the one it is written
    // under on this platform.
    virtual void ReportEntry(const ExtractEntry& entry) = 0;
    // After a directory's contents, once its leave record has been read.
    virtual void LeaveDirectory() {}
    // Only when an entry of the file's name exists; true replaces it.
    virtual bool AskOverwrite(std::u16string_view name) = 0;
    // Before every record and every block, and after every keyfile block:
    // where a controlling thread may hold the run while it asks whether to
    // abort.
    virtual void Checkpoint() {}
    // After every verified block, with the number of bytes it inflated to.
    virtual void BlockDone(std::size_t inflatedBytes) { (void)inflatedBytes; }
    // A file the run stopped in: what was written of it has been removed,
    // and nothing of that name was created or replaced.
    virtual void FileRemoved(std::u16string_view name) { (void)name; }
};

struct ExtractInput {
    const PayloadArchive* archive = nullptr;
    std::uint16_t helpLength = 0;       // read at start-up; locates the header
    std::u16string_view passphrase;     // empty: none
    std::u16string_view keyfileLocation; // empty: none
    std::u16string_view destination;    // must exist; unused by Test and List
    ExtractMode mode = ExtractMode::Extract;
    ExtractFileSystem* fileSystem = nullptr; // unused by Test and List
    ExtractObserver* observer = nullptr;
};

class RecordReader;
class RecordReadAhead;

// Everything a run holds. Members are empty while not held.
class ExtractState {
public:
    ExtractState();
    ~ExtractState();
    ExtractState(const ExtractState&) = delete;
    ExtractState& operator=(const ExtractState&) = delete;

    std::unique_ptr<PayloadReader> archive;
    std::unique_ptr<FsFile> outputFile;
    // The temporary file of outputFile; also reachable from another thread.
    PendingOutput pending;
    // The open directory of every level of the walk; the destination first.
    std::vector<std::unique_ptr<FsDirectory>> walk;
    // Reads and decrypts the records on a thread of its own, ahead of the
    // run's thread, which inflates, checks and writes them in order.
    std::unique_ptr<RecordReader> reader;
    std::unique_ptr<RecordReadAhead> readAhead;
    std::uint8_t* outputBlock = nullptr; // BlockSize bytes, locked
    std::unique_ptr<z_stream> stream; // reset for every block
    bool streamActive = false;
    CipherContext cipher;
    // Keyed instead of `cipher` for the authenticated cipher.
    SealedStreamReader sealed;
    std::uint8_t key[64]; // locked for the life of the state
};

ExtractResult RunExtraction(ExtractState& state, const ExtractInput& input);

// Closes, frees, wipes and ends whatever the state holds, removing the
// unfinished file; may be called any number of times, also from another
// thread while the run is held at a checkpoint (which then must never
// resume).
void ReleaseExtractState(ExtractState& state);

// From another thread while the run may be anywhere, even inside a slow
// read: removes the unfinished file and keeps the run from creating
// another. The caller ends the process next. The name the removed file was
// meant for, when there was one.
std::optional<std::u16string> AbandonExtractRun(ExtractState& state);

// The same while the run is held at a checkpoint: closes the unfinished
// file as well.
std::optional<std::u16string> DiscardUnfinishedFile(ExtractState& state);

// The number of blocks a correct writer stores for a file of `size` bytes.
constexpr std::uint64_t BlockCountFor(std::uint64_t size, std::uint64_t blockSize)
{
    return size / blockSize + (size % blockSize != 0 ? 1 : 0);
}
