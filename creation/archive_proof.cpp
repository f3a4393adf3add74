#include "creation/archive_proof.h"

#include "module/extraction_engine.h"
#include "module/module_texts.h"
#include "module/payload_source.h"
#include "platform/utf.h"

namespace {

class CollectingObserver final : public ExtractObserver {
public:
    CollectingObserver(std::vector<HeldEntry>& entries, ProofObserver* outer) : entries_(entries), outer_(outer) {}

    void ReportEntry(const ExtractEntry& entry) override
    {
        // A name that is not valid UTF-16 matches no file name; it is held
        // under a path no walk can produce.
        const auto name = Utf16ToUtf8(entry.name);
        const std::string component = name ? *name : std::string("\0", 1);
        HeldEntry held;
        held.path = folders_.empty() ? component : folders_.back() + "/" + component;
        held.directory = entry.kind == EntryKind::Directory;
        held.size = entry.size;
        held.lastWriteTime = entry.lastWriteTime;
        if (held.directory)
            folders_.push_back(held.path);
        entries_.push_back(std::move(held));
    }

    void LeaveDirectory() override
    {
        if (!folders_.empty())
            folders_.pop_back();
    }

    bool AskOverwrite(std::u16string_view) override { return false; }

    void Checkpoint() override
    {
        if (outer_)
            outer_->Checkpoint();
    }

    void BlockDone(std::size_t inflatedBytes) override
    {
        if (outer_)
            outer_->BlockDone(inflatedBytes);
    }

private:
    std::vector<HeldEntry>& entries_;
    ProofObserver* outer_;
    std::vector<std::string> folders_;
};

bool ReadHelpLength(const PayloadArchive& archive, std::uint16_t* helpLength)
{
    const auto reader = archive.Open();
    std::uint8_t field[2];
    if (!reader || !reader->ReadExact(field, sizeof field))
        return false;
    *helpLength = static_cast<std::uint16_t>(field[0] | field[1] << 8);
    return true;
}

} // namespace

ArchiveProof ProveArchive(const std::string& archivePath, std::uint64_t payloadOffset,
                          std::u16string_view passphrase, std::u16string_view keyfileLocation,
                          ProofObserver* observer)
{
    ArchiveProof proof;
    proof.result = ExtractResult::ArchiveError;
    const FilePayloadArchive archive(archivePath, payloadOffset);
    ExtractInput input;
    input.archive = &archive;
    if (!ReadHelpLength(archive, &input.helpLength))
        return proof;
    input.passphrase = passphrase;
    input.keyfileLocation = keyfileLocation;
    input.mode = ExtractMode::Test;
    CollectingObserver collector(proof.entries, observer);
    input.observer = &collector;

    ExtractState state;
    try {
        proof.result = RunExtraction(state, input);
    } catch (...) {
        ReleaseExtractState(state);
        throw;
    }
    ReleaseExtractState(state);
    return proof;
}

bool ProofSucceeded(ExtractResult result)
{
    return result == ExtractResult::Done;
}

std::string_view ProofResultText(ExtractResult result)
{
    const auto index = static_cast<std::size_t>(result);
    return index < std::size(EnglishTexts.resultTexts) ? EnglishTexts.resultTexts[index] : "Unknown error";
}
