#include "module/extraction_engine.h"

#include "core/archive_format.h"
#include "core/key_derivation.h"
#ifdef IVQA_SEALED_CIPHER
#include "core/sealed_key.h"
#endif
#include "crypto/crc32.h"
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

std::uint32_t Crc32Of(std::initializer_list<std::pair<const std::uint8_t*, std::size_t>> pieces)
{
    std::uint32_t crc = 0xFFFFFFFFU;
    for (const auto& [data, length] : pieces)
        crc = Crc32Update(crc, data, length);
    return crc ^ 0xFFFFFFFFU;
}

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

// One run over the record stream. Each method that can fail returns Done on
// success and the run's code otherwise.
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
        const ExtractResult result = Records();
        // A record or block shorter than its authenticated message says is
        // the writer's damage, not a cut.
        return result == ExtractResult::ArchiveError && messageOverrun_ ? ExtractResult::Corrupted : result;
    }

private:
    bool Writing() const { return input_.mode == ExtractMode::Extract; }

    // Reads one field and decrypts it with a call of its own: for RC4 the
    // cut into calls is part of the stream. Under the authenticated cipher
    // the field comes from the message already verified.
    bool ReadPiece(std::uint8_t* buffer, std::size_t length)
    {
#ifdef IVQA_SEALED_CIPHER
        if (sealed_) {
            messageOverrun_ = !state_.sealed.Take(buffer, length);
            return !messageOverrun_;
        }
#endif
        if (!state_.archive->ReadExact(buffer, length))
            return false;
        CipherProcess(&state_.cipher, buffer, length);
        return true;
    }

    enum class MessageStart { Message, End, Failed };

    // Every record and every block is a message of its own: the next one is
    // authenticated whole before any field of it is used. Nothing to do for
    // the other ciphers, whose stream has no messages.
    MessageStart BeginMessage(ExtractResult* failure)
    {
#ifdef IVQA_SEALED_CIPHER
        if (!sealed_)
            return MessageStart::Message;
        switch (state_.sealed.Next(&Run::ReadArchive, state_.archive.get())) {
        case SealedStreamReader::Pull::Message:
            return MessageStart::Message;
        case SealedStreamReader::Pull::End:
            return MessageStart::End;
        case SealedStreamReader::Pull::Cut:
            *failure = ExtractResult::ArchiveError;
            return MessageStart::Failed;
        case SealedStreamReader::Pull::Damaged:
            break;
        }
        *failure = ExtractResult::Corrupted;
        return MessageStart::Failed;
#else
        (void)failure;
        return MessageStart::Message;
#endif
    }

    static bool ReadArchive(void* archive, std::uint8_t* buffer, std::size_t length)
    {
        return static_cast<PayloadReader*>(archive)->ReadExact(buffer, length);
    }

    ExtractResult Open()
    {
        state_.inputBlock = static_cast<std::uint8_t*>(SecureAlloc(MaxPackedBlock));
        state_.outputBlock = static_cast<std::uint8_t*>(SecureAlloc(BlockSize));
        state_.stream = std::make_unique<z_stream>();
        if (state_.inputBlock == nullptr || state_.outputBlock == nullptr)
            return ExtractResult::OutOfMemory;

        state_.archive = input_.archive->Open();
        if (!state_.archive)
            return ExtractResult::ArchiveError;
        if (!state_.archive->Seek(2 + 2 * static_cast<std::uint64_t>(input_.helpLength)) ||
            !state_.archive->ReadExact(header_, CipherHeaderSize))
            return ExtractResult::ArchiveError;
#ifdef IVQA_SEALED_CIPHER
        if (header_[HeaderCipherIdOffset] == CipherXChaCha20Poly1305) {
            // The help block and the plain header are bound to the stream:
            // read again from the start as the associated data.
            associated_.resize(2 + 2 * std::size_t{input_.helpLength});
            if (!state_.archive->Seek(0) || !state_.archive->ReadExact(associated_.data(), associated_.size()) ||
                !state_.archive->ReadExact(header_, SealedHeaderSize))
                return ExtractResult::ArchiveError;
            associated_.insert(associated_.end(), header_, header_ + SealedHeaderSize);
        }
#endif
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

#ifdef IVQA_SEALED_CIPHER
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
#endif

    ExtractResult Key()
    {
        const std::uint32_t cipherId = header_[HeaderCipherIdOffset];
#ifdef IVQA_SEALED_CIPHER
        if (cipherId == CipherXChaCha20Poly1305)
            return SealedKey();
#endif
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

    ExtractResult Records()
    {
        for (;;) {
            input_.observer->Checkpoint();
            ExtractResult failure = ExtractResult::Done;
            switch (BeginMessage(&failure)) {
            case MessageStart::Message:
                break;
            case MessageStart::End:
                // The final message closes the stream; no folder is open then.
                return depth_ == 0 ? ExtractResult::Done : ExtractResult::Corrupted;
            case MessageStart::Failed:
                return failure;
            }
            std::uint8_t type = 0;
            // There is no end marker: the archive may end between entries,
            // but our writer closes every folder it opens, so an end inside
            // one is a cut.
            if (!ReadPiece(&type, 1))
                return depth_ == 0 ? ExtractResult::Done : ExtractResult::ArchiveError;
            ExtractResult result = ExtractResult::Done;
            switch (static_cast<RecordType>(type)) {
            case RecordType::DirEnter:
                result = EnterDirectory(type);
                break;
            case RecordType::DirLeave:
                result = LeaveDirectory();
                break;
            case RecordType::File:
                result = ExtractFile(type);
                break;
            default:
                return ExtractResult::Corrupted;
            }
            if (result != ExtractResult::Done)
                return result;
        }
    }

    // Reads L and the name behind it, refusing a length the buffer cannot
    // hold before anything is read into it.
    ExtractResult ReadName()
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

    std::u16string_view Name() const { return {name_, nameUnits_}; }

    ExtractResult EnterDirectory(std::uint8_t type)
    {
        std::uint8_t crcField[4];
        std::uint8_t timeField[8];
        if (!ReadPiece(crcField, 4) || !ReadPiece(timeField, 8))
            return ExtractResult::ArchiveError;
        if (auto result = ReadName(); result != ExtractResult::Done)
            return result;
        const std::uint32_t crc =
            Crc32Of({{&type, 1}, {timeField, 8}, {lengthField_, 2}, {nameBytes_, 2 * nameUnits_}});
        const auto name = WritableEntryName(Name());
        if (crc != LoadLe32(crcField) || !name)
            return ExtractResult::Corrupted;

        const std::uint64_t creationTime = LoadLe64(timeField);
        input_.observer->ReportEntry({EntryKind::Directory, *name, 0, 0, creationTime, 0});
        ++depth_;
        if (!Writing())
            return ExtractResult::Done;

        ExtractFileSystem& fs = *input_.fileSystem;
        FsDirectory& parent = *state_.walk.back();
        if (!fs.Exists(parent, *name) && !fs.MakeDirectory(parent, *name))
            return ExtractResult::OutputDirError;
        auto directory = fs.OpenDirectory(parent, *name);
        if (!directory || !fs.SetDirectoryCreationTime(*directory, creationTime))
            return ExtractResult::OutputDirError;
        state_.walk.push_back(std::move(directory));
        return ExtractResult::Done;
    }

    ExtractResult LeaveDirectory()
    {
        // Leaving the destination itself would climb out of it.
        if (depth_ == 0)
            return ExtractResult::Corrupted;
        --depth_;
        if (Writing())
            state_.walk.pop_back();
        input_.observer->LeaveDirectory();
        return ExtractResult::Done;
    }

    ExtractResult ExtractFile(std::uint8_t type)
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
        const auto name = WritableEntryName(Name());
        if (crc != LoadLe32(crcField) || !name)
            return ExtractResult::Corrupted;

        const ExtractEntry entry{EntryKind::File,
                                 *name,
                                 LoadLe64(sizeFields),
                                 LoadLe32(attributeFields),
                                 LoadLe64(attributeFields + 4),
                                 LoadLe64(attributeFields + 12)};
        const std::uint64_t blockCount = LoadLe64(sizeFields + 8);
        // The size bounds what the file may receive: each block holds at
        // most BlockSize bytes, and a writer stores exactly this many (also
        // for a file that grew or shrank while it was read).
        if (blockCount != BlockCountFor(entry.size, BlockSize))
            return ExtractResult::Corrupted;
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
            !fs.Close(std::move(state_.outputFile)) || !state_.pending.Commit())
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
        if (fs.Exists(parent, entry.name)) {
            if (!input_.observer->AskOverwrite(entry.name)) {
                *write = false;
                return ExtractResult::Done;
            }
            // A folder is never replaced by a file: said now, not after
            // the file was written.
            if (fs.OpenDirectory(parent, entry.name))
                return ExtractResult::OutputFileError;
        }
        state_.outputFile = state_.pending.Create(fs, parent, entry.name, entry.attributes);
        return state_.outputFile ? ExtractResult::Done : ExtractResult::OutputFileError;
    }

    ExtractResult ExtractBlock(bool write)
    {
        input_.observer->Checkpoint();
        ExtractResult failure = ExtractResult::Corrupted;
        if (BeginMessage(&failure) != MessageStart::Message)
            return failure;
        std::uint8_t crcField[4];
        std::uint8_t lengthField[4];
        if (!ReadPiece(crcField, 4) || !ReadPiece(lengthField, 4))
            return ExtractResult::ArchiveError;
        const std::uint32_t packed = LoadLe32(lengthField);
        if (packed > MaxPackedBlock)
            return ExtractResult::Corrupted;
        if (!ReadPiece(state_.inputBlock, packed))
            return ExtractResult::ArchiveError;
        if (input_.mode == ExtractMode::List)
            return ExtractResult::Done;

        std::size_t produced = 0;
        if (auto result = Inflate(packed, &produced); result != ExtractResult::Done)
            return result;
        if (Crc32Of({{state_.outputBlock, produced}}) != LoadLe32(crcField))
            return ExtractResult::Corrupted;
        if (write && !input_.fileSystem->Write(*state_.outputFile, state_.outputBlock, produced))
            return ExtractResult::OutputFileError;
        input_.observer->BlockDone(produced);
        return ExtractResult::Done;
    }

    // One fresh decompressor and one inflate call per block. A stream that
    // stops short still hands on what it produced: the block CRC decides.
    ExtractResult Inflate(std::uint32_t packed, std::size_t* produced)
    {
        z_stream& stream = *state_.stream;
        stream = z_stream{};
        UseWipingAllocator(stream); // zlib's window holds the block's plaintext
        const int init = inflateInit(&stream);
        if (init == Z_MEM_ERROR)
            return ExtractResult::OutOfMemory;
        if (init != Z_OK)
            return ExtractResult::DecompressorError;
        state_.streamActive = true;

        stream.next_in = state_.inputBlock;
        stream.avail_in = packed;
        stream.next_out = state_.outputBlock;
        stream.avail_out = BlockSize;
        const int result = inflate(&stream, Z_FINISH);
        const bool inputConsumed = stream.avail_in == 0;
        // zlib reaches the end of a stream that fits even with no room left:
        // one that is still going has more than a block to give.
        const bool overflows = result != Z_STREAM_END && stream.avail_out == 0;
        *produced = BlockSize - stream.avail_out;
        inflateEnd(&stream);
        state_.streamActive = false;
        if (result == Z_NEED_DICT || (result == Z_BUF_ERROR && inputConsumed) || overflows)
            return ExtractResult::Corrupted;
        return ExtractResult::Done;
    }

    ExtractState& state_;
    const ExtractInput& input_;
    std::uint8_t header_[std::max(CipherHeaderSize, SealedHeaderSize)] = {};
#ifdef IVQA_SEALED_CIPHER
    std::vector<std::uint8_t> associated_;
    bool sealed_ = false;
#endif
    bool messageOverrun_ = false;
    std::size_t depth_ = 0;
    std::uint8_t lengthField_[2] = {};
    std::size_t nameUnits_ = 0;
    std::uint8_t nameBytes_[2 * MaxNameUnits] = {};
    char16_t name_[MaxNameUnits + 1] = {};
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
    state.archive.reset();
    state.outputFile.reset();
    state.pending.Discard(); // before the walk: it names its folder
    state.walk.clear();
    SecureFree(state.inputBlock, MaxPackedBlock);
    state.inputBlock = nullptr;
    SecureFree(state.outputBlock, BlockSize);
    state.outputBlock = nullptr;
    if (state.streamActive && state.stream)
        inflateEnd(state.stream.get());
    state.streamActive = false;
    state.stream.reset();
    if (state.cipher.state != nullptr)
        CipherRelease(&state.cipher);
#ifdef IVQA_SEALED_CIPHER
    state.sealed.Release();
#endif
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
