#pragma once
// Removing, below each input, only what a verified archive holds: a file
// under the same relative path whose size and last-write time are still
// those recorded. A folder goes only when it is empty afterwards; entries
// skipped during the run, changed since or added meanwhile stay.

#include "creation/archive_proof.h"
#include "ivqa.h"

#include <cstdint>
#include <string>
#include <vector>

struct InputRoot {
    std::string path; // as the writer got it; trailing slashes dropped
    bool directory = false;
};

// How one file (or link) is removed: deleted, or wiped first. Called only
// for entries the archive holds unchanged.
class HeldFileRemover {
public:
    // IQ_OK also when the user chose to skip it; the walk looks afterwards
    // whether it is gone.
    virtual CoreResult RemoveFile(const std::string& path) = 0;

protected:
    ~HeldFileRemover() = default;
};

enum class KeptReason {
    NotArchived, // skipped during the run, or added since
    Changed,     // its size or last-write time differs from the archive's
    NotRemoved,  // the removal failed or was skipped
};

struct KeptEntry {
    std::string path;
    KeptReason reason;
};

struct RemovalReport {
    CoreResult result = IQ_OK; // the remover's result that stopped the walk
    std::uint64_t removed = 0; // files, links and folders
    std::vector<KeptEntry> kept;
};

RemovalReport RemoveHeldEntries(const std::vector<InputRoot>& inputs, const std::vector<HeldEntry>& held,
                                HeldFileRemover& remover);

// "skipped or added since", "changed since it was archived", "could not be removed".
std::string_view KeptReasonText(KeptReason reason);
