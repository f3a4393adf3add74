#include "module/extraction_engine.h"

#include "core/archive_format.h"
#include "core/key_derivation.h"
#include "core/sealed_key.h"
#include "crypto/crc32.h"
#include "module/record_read_ahead.h"
#include "module/record_reader.h"
#include "platform/secure_memory.h"
#include "platform/zlib_memory.h"

#include <algorithm>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr char AgentName[] = "Ironquiver_SDA";

#ifdef _WIN32
// The Windows build's reading thread has hung now and then under Wine, in
// runs the Linux build completes: until that is understood, it reads on the
// run's thread.
constexpr bool ReadAheadOnItsOwnThread = false;
#else
constexpr bool ReadAheadOnItsOwnThread = true;
#endif

// The passphrase as DeriveKey takes it: terminated, at most 255 units, in a
// locked buffer that is wiped on the way out.
class PassphraseCopy {
public:
    explicit PassphraseCopy(std::u16string_view text)
    {
        SecureLock(units_, sizeof units_);
        const std::size_t length = std::min(text.size(), MaxPassphraseUnits);
        std::copy_n(text.data(), length, units_);
        units_[length] = 0;
        present_ = length > 0;
    }
    ~PassphraseCopy() { SecureWipeAndUnlock(units_, sizeof units_); }
    PassphraseCopy(const PassphraseCopy&) = delete;
    PassphraseCopy& operator=(const PassphraseCopy&) = delete;

    const char16_t* Get() const { return present_ ? units_ : nullptr; }

private:
    char16_t units_[MaxPassphraseUnits + 1] = {};
    bool present_ = false;
};

// Lets the observer's checkpoint run between keyfile blocks. The keyfile
// reader is called from C code, through which nothing may unwind: what the
// checkpoint throws is kept and thrown again once DeriveKey has returned.
class KeyfileCheckpoint {
public:
    explicit KeyfileCheckpoint(ExtractObserver& observer) : observer_(observer) {}

    const DeriveKeyCheckpoint* Get() { return &checkpoint_; }
    void RethrowIfStopped()
    {
        if (stopped_)
            std::rethrow_exception(stopped_);
    }

private:
    static bool KeepGoing(void* context)
    {
        auto* self = static_cast<KeyfileCheckpoint*>(context);
        try {
            self->observer_.Checkpoint();
            return true;
        } catch (...) {
            self->stopped_ = std::current_exception();
            return false;
        }
    }

    ExtractObserver& observer_;
    std::exception_ptr stopped_;
    DeriveKeyCheckpoint checkpoint_{&KeyfileCheckpoint::KeepGoing, this};
};

// The writing stage of a run, on the run's thread: takes the records and
// blocks in archive order from the reading stage, reports them, inflates
// and checks the blocks and does all the file-system work. Each method that
// can fail returns Done on success and the run's code otherwise.
class Run {
public:
    Run(ExtractState& state, const ExtractInput& input) : state_(state), input_(input) {}

    ExtractResult Execute()
    {
        if (auto result = Open(); result != ExtractResult::Done)
            return result;
        if (auto result = Key(); result != ExtractResult::Done)
            return result;
        if (Writing()) {
            auto destination = input_.fileSystem->OpenDestination(input_.destination);
            if (!destination)
                return ExtractResult::OutputDirError;
            state_.walk.push_back(std::move(destination));
        }
        state_.reader = std::make_unique<RecordReader>(*state_.archive, state_.cipher,
                                                       sealed_ ? &state_.sealed : nullptr);
        state_.readAhead = std::make_unique<RecordReadAhead>(*state_.reader, ReadAheadOnItsOwnThread);
        return Records();
    }

private:
    bool Writing() const { return input_.mode == ExtractMode::Extract; }

    ExtractResult Open()
    {
        state_.outputBlock = static_cast<std::uint8_t*>(SecureAlloc(BlockSize));
        state_.stream = std::make_unique<z_stream>();
        if (state_.outputBlock == nullptr)
            return ExtractResult::OutOfMemory;

        state_.archive = input_.archive->Open();
        if (!state_.archive)
            return ExtractResult::ArchiveError;
        if (!state_.archive->Seek(2 + 2 * static_cast<std::uint64_t>(input_.helpLength)) ||
            !state_.archive->ReadExact(header_, CipherHeaderSize))
            return ExtractResult::ArchiveError;
        if (header_[HeaderCipherIdOffset] == CipherXChaCha20Poly1305) {
            // The help block and the plain header are bound to the stream:
            // read again from the start as the associated data.
            associated_.resize(2 + 2 * std::size_t{input_.helpLength});
            if (!state_.archive->Seek(0) || !state_.archive->ReadExact(associated_.data(), associated_.size()) ||
                !state_.archive->ReadExact(header_, SealedHeaderSize))
                return ExtractResult::ArchiveError;
            associated_.insert(associated_.end(), header_, header_ + SealedHeaderSize);
        }
        return ExtractResult::Done;
    }

    // One key derivation into state_.key from the run's key input; the
    // key is wiped when it fails, and a stop at a keyfile checkpoint goes on.
    template <typename Derive>
    ExtractResult DeriveRunKey(Derive derive)
    {
        const PassphraseCopy passphrase(input_.passphrase);
        const std::u16string keyfile(input_.keyfileLocation);
        KeyfileCheckpoint checkpoint(*input_.observer);
        const DeriveKeyResult derived =
            derive(passphrase.Get(), keyfile.empty() ? nullptr : keyfile.c_str(), checkpoint.Get());
        if (derived == DeriveKeyResult::Ok)
            return ExtractResult::Done;
        SecureWipe(state_.key, sizeof state_.key);
        checkpoint.RethrowIfStopped();
        return derived == DeriveKeyResult::OutOfMemory ? ExtractResult::OutOfMemory : ExtractResult::KeyfileError;
    }

    ExtractResult SealedKey()
    {
        // Refused before Argon2id asks for its memory: a hostile header must
        // not exhaust the recipient's.
        const SealedCost cost = LoadSealedCost(header_);
        if (!SealedCostAccepted(cost))
            return ExtractResult::Corrupted;
        const ExtractResult derived = DeriveRunKey([&](const char16_t* passphrase, const char16_t* keyfile,
                                                       const DeriveKeyCheckpoint* checkpoint) {
            return DeriveSealedKey(cost, passphrase, keyfile, header_ + SealedSaltOffset, state_.key, AgentName,
                                   checkpoint);
        });
        if (derived != ExtractResult::Done)
            return derived;
        const bool matches = SealedKeyMatches(header_, state_.key);
        const bool keyed = matches && state_.sealed.Start(state_.key, header_ + SealedStreamHeaderOffset,
                                                          std::move(associated_));
        SecureWipe(state_.key, sizeof state_.key);
        if (!matches)
            return ExtractResult::WrongKey;
        if (!keyed)
            return ExtractResult::OutOfMemory;
        sealed_ = true;
        return ExtractResult::Done;
    }

    ExtractResult Key()
    {
        const std::uint32_t cipherId = header_[HeaderCipherIdOffset];
        if (cipherId == CipherXChaCha20Poly1305)
            return SealedKey();
        // Records under an unknown id would be read as if unencrypted.
        if (cipherId >= CipherCount)
            return ExtractResult::Corrupted;

        const ExtractResult derived = DeriveRunKey([&](const char16_t* passphrase, const char16_t* keyfile,
                                                       const DeriveKeyCheckpoint* checkpoint) {
            return DeriveKey(cipherId, passphrase, keyfile, header_ + HeaderSaltOffset, state_.key, AgentName,
                             checkpoint);
        });
        if (derived != ExtractResult::Done)
            return derived;
        const int keyed = CipherInit(&state_.cipher, cipherId, CipherKeyLength(cipherId),
                                     header_ + HeaderIvOffset, state_.key, CipherDirection::Decrypt);
        SecureWipe(state_.key, sizeof state_.key);
        if (keyed == 0)
            return ExtractResult::OutOfMemory;

        std::uint8_t* check = header_ + HeaderCheckValueOffset;
        CipherProcess(&state_.cipher, check, 4);
        return LoadLe32(check) == CheckValue ? ExtractResult::Done : ExtractResult::WrongKey;
    }

    // The next item, after the checkpoint a serial reader held before it.
    StreamItem& Next()
    {
        input_.observer->Checkpoint();
        return state_.readAhead->Take();
    }

    void Done() { state_.readAhead->Release(); }

    ExtractResult Records()
    {
        for (;;) {
            StreamItem& item = Next();
            ExtractResult result = ExtractResult::Done;
            switch (item.kind) {
            case StreamItemKind::DirEnter:
                result = EnterDirectory(item);
                break;
            case StreamItemKind::DirLeave:
                result = LeaveDirectory();
                break;
            case StreamItemKind::File:
                result = ExtractFile(item);
                break;
            case StreamItemKind::Block: // the reader keeps blocks inside their file
            case StreamItemKind::End:
                return item.result;
            }
            if (result != ExtractResult::Done)
                return result;
        }
    }

    ExtractResult EnterDirectory(StreamItem& item)
    {
        const std::u16string name = std::move(item.name);
        const std::uint64_t creationTime = item.creationTime;
        Done();
        input_.observer->ReportEntry({EntryKind::Directory, name, 0, 0, creationTime, 0});
        if (!Writing())
            return ExtractResult::Done;

        ExtractFileSystem& fs = *input_.fileSystem;
        FsDirectory& parent = *state_.walk.back();
        if (!fs.Exists(parent, name) && !fs.MakeDirectory(parent, name))
            return ExtractResult::OutputDirError;
        auto directory = fs.OpenDirectory(parent, name);
        if (!directory || !fs.SetDirectoryCreationTime(*directory, creationTime))
            return ExtractResult::OutputDirError;
        state_.walk.push_back(std::move(directory));
        return ExtractResult::Done;
    }

    ExtractResult LeaveDirectory()
    {
        Done();
        if (Writing())
            state_.walk.pop_back();
        input_.observer->LeaveDirectory();
        return ExtractResult::Done;
    }

    ExtractResult ExtractFile(StreamItem& item)
    {
        const std::u16string name = std::move(item.name);
        const ExtractEntry entry{EntryKind::File, name, item.size, item.attributes, item.creationTime,
                                 item.lastWriteTime};
        const std::uint64_t blockCount = item.blockCount;
        Done();
        input_.observer->ReportEntry(entry);

        bool write = Writing();
        if (write) {
            if (auto result = PrepareOutput(entry, &write); result != ExtractResult::Done)
                return result;
        }
        ExtractResult result = ExtractResult::Done;
        for (std::uint64_t block = 0; block < blockCount && result == ExtractResult::Done; ++block)
            result = ExtractBlock(write);
        if (write && result == ExtractResult::Done)
            result = FinishOutput(entry);
        if (write && result != ExtractResult::Done)
            DiscardOutput();
        return result;
    }

    // Times on the whole file, then its name.
    ExtractResult FinishOutput(const ExtractEntry& entry)
    {
        ExtractFileSystem& fs = *input_.fileSystem;
        if (!fs.SetFileTimes(*state_.outputFile, entry.creationTime, entry.lastWriteTime) ||
            !state_.pending.Commit(std::move(state_.outputFile)))
            return ExtractResult::OutputFileError;
        return ExtractResult::Done;
    }

    void DiscardOutput()
    {
        if (const auto removed = DiscardUnfinishedFile(state_))
            input_.observer->FileRemoved(*removed);
    }

    // Free space, the overwrite question and the new file under its
    // temporary name; `*write` becomes false when the user keeps the
    // existing file, which otherwise stays until the new one is whole.
    ExtractResult PrepareOutput(const ExtractEntry& entry, bool* write)
    {
        ExtractFileSystem& fs = *input_.fileSystem;
        std::uint64_t available = 0;
        if (!fs.QueryFreeSpace(input_.destination, &available) || entry.size > available)
            return ExtractResult::NoDiskSpace;

        FsDirectory& parent = *state_.walk.back();
        const bool exists = fs.Exists(parent, entry.name);
        if (exists) {
            if (!input_.observer->AskOverwrite(entry.name)) {
                *write = false;
                return ExtractResult::Done;
            }
            // A folder is never replaced by a file: said now, not after
            // the file was written.
            if (fs.OpenDirectory(parent, entry.name))
                return ExtractResult::OutputFileError;
        }
        state_.outputFile = state_.pending.Create(fs, parent, entry.name, entry.attributes, exists);
        return state_.outputFile ? ExtractResult::Done : ExtractResult::OutputFileError;
    }

    ExtractResult ExtractBlock(bool write)
    {
        const StreamItem& block = Next();
        if (block.kind != StreamItemKind::Block)
            return block.result;
        struct Release {
            Run& run;
            ~Release() { run.Done(); }
        } release{*this};
        if (input_.mode == ExtractMode::List)
            return ExtractResult::Done;

        std::size_t produced = 0;
        if (auto result = Inflate(block, &produced); result != ExtractResult::Done)
            return result;
        if (~Crc32Update(0xFFFFFFFFU, state_.outputBlock, produced) != block.blockCrc)
            return ExtractResult::Corrupted;
        if (write && !input_.fileSystem->Write(*state_.outputFile, state_.outputBlock, produced))
            return ExtractResult::OutputFileError;
        input_.observer->BlockDone(produced);
        return ExtractResult::Done;
    }

    // One decompressor for the run, reset for every block, and one inflate
    // call per block. A stream that stops short still hands on what it
    // produced: the block CRC decides.
    ExtractResult Inflate(const StreamItem& block, std::size_t* produced)
    {
        z_stream& stream = *state_.stream;
        if (!state_.streamActive) {
            stream = z_stream{};
            UseWipingAllocator(stream); // zlib's window holds the block's plaintext
            const int init = inflateInit(&stream);
            if (init == Z_MEM_ERROR)
                return ExtractResult::OutOfMemory;
            if (init != Z_OK)
                return ExtractResult::DecompressorError;
            state_.streamActive = true;
        } else if (inflateReset(&stream) != Z_OK) {
            return ExtractResult::DecompressorError;
        }

        stream.next_in = block.packed;
        stream.avail_in = block.packedLength;
        stream.next_out = state_.outputBlock;
        stream.avail_out = BlockSize;
        const int result = inflate(&stream, Z_FINISH);
        const bool inputConsumed = stream.avail_in == 0;
        // zlib reaches the end of a stream that fits even with no room left:
        // one that is still going has more than a block to give.
        const bool overflows = result != Z_STREAM_END && stream.avail_out == 0;
        *produced = BlockSize - stream.avail_out;
        if (result == Z_NEED_DICT || (result == Z_BUF_ERROR && inputConsumed) || overflows)
            return ExtractResult::Corrupted;
        return ExtractResult::Done;
    }

    ExtractState& state_;
    const ExtractInput& input_;
    std::uint8_t header_[std::max(CipherHeaderSize, SealedHeaderSize)] = {};
    std::vector<std::uint8_t> associated_;
    bool sealed_ = false;
};

// A run stopped by a throw (an interrupt, an abandoned worker, memory) may
// stand inside a file; the observer hears of its removal, but must not
// replace the exception that is on its way.
void ReleaseAfterThrow(ExtractState& state, ExtractObserver& observer)
{
    const auto removed = DiscardUnfinishedFile(state);
    ReleaseExtractState(state);
    if (!removed)
        return;
    try {
        observer.FileRemoved(*removed);
    } catch (...) {
    }
}

} // namespace

ExtractState::ExtractState()
{
    SecureLock(key, sizeof key);
}

ExtractState::~ExtractState()
{
    ReleaseExtractState(*this);
    SecureWipeAndUnlock(key, sizeof key);
}

ExtractResult RunExtraction(ExtractState& state, const ExtractInput& input)
{
    // Keys and plaintext survive the run in spill slots of its frames and in
    // vector registers; scrubbed on every way out.
    try {
        const ExtractResult result = Run(state, input).Execute();
        ReleaseExtractState(state);
        SecureScrubStackAndRegisters();
        return result;
    } catch (const std::bad_alloc&) {
        ReleaseAfterThrow(state, *input.observer);
        SecureScrubStackAndRegisters();
        return ExtractResult::OutOfMemory;
    } catch (...) {
        ReleaseAfterThrow(state, *input.observer);
        SecureScrubStackAndRegisters();
        throw;
    }
}

void ReleaseExtractState(ExtractState& state)
{
    // The reading thread first: it uses the archive and the cipher.
    state.readAhead.reset();
    state.reader.reset();
    state.archive.reset();
    state.outputFile.reset();
    state.pending.Discard(); // before the walk: it names its folder
    state.walk.clear();
    SecureFree(state.outputBlock, BlockSize);
    state.outputBlock = nullptr;
    if (state.streamActive && state.stream)
        inflateEnd(state.stream.get());
    state.streamActive = false;
    state.stream.reset();
    if (state.cipher.state != nullptr)
        CipherRelease(&state.cipher);
    state.sealed.Release();
    SecureWipe(state.key, sizeof state.key);
}

std::optional<std::u16string> AbandonExtractRun(ExtractState& state)
{
    return state.pending.Abandon();
}

std::optional<std::u16string> DiscardUnfinishedFile(ExtractState& state)
{
    state.outputFile.reset();
    return state.pending.Discard();
}
