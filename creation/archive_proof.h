#pragma once
// The proof that a new archive holds its inputs: the archive read back
// completely through the extraction engine, every record and block
// decrypted, inflated and checked, nothing written; what it holds is
// collected on the way.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The engine's result codes (module/extraction_engine.h), declared here
// only: the front end's own EntryKind must not meet the engine's.
enum class ExtractResult : std::uint32_t;

struct HeldEntry {
    std::string path; // relative, '/'-separated, UTF-8; the first component is a top-level entry
    bool directory = false;
    std::uint64_t size = 0;          // files only
    std::uint64_t lastWriteTime = 0; // FILETIME, files only
};

struct ArchiveProof {
    ExtractResult result{}; // set by ProveArchive
    std::vector<HeldEntry> entries; // in archive order; complete only when result is Done
};

// Hooks for a long read: both called on the reading thread; either may
// throw to stop it, the exception passing on.
class ProofObserver {
public:
    virtual void Checkpoint() {}
    virtual void BlockDone(std::size_t inflatedBytes) { (void)inflatedBytes; }

protected:
    ~ProofObserver() = default;
};

// `payloadOffset` is the length of the module at the archive's head.
ArchiveProof ProveArchive(const std::string& archivePath, std::uint64_t payloadOffset,
                          std::u16string_view passphrase, std::u16string_view keyfileLocation,
                          ProofObserver* observer = nullptr);

bool ProofSucceeded(ExtractResult result);

// The engine's own text for a result, as the recipient would see it.
std::string_view ProofResultText(ExtractResult result);
