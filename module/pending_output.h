#pragma once
// The file being extracted, written without a name where the system allows
// it and linked under its name once whole, otherwise (and when it replaces
// an entry) written under a temporary name in its own folder and renamed
// onto its name. Whoever ends the run early (a failed block, a confirmed
// abort, a closed window, a signal) removes it, so nothing incomplete is
// ever left under a real name and a replaced file stays intact until the
// rename. The worker creates, commits and discards; another thread may
// abandon at any time.

#include "platform/extract_fs.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

class PendingOutput {
public:
    // Creates the file for `name` in `parent`; `replacing` says that an
    // entry of that name exists. Null when it cannot be created or the
    // output was abandoned.
    std::unique_ptr<FsFile> Create(ExtractFileSystem& fileSystem, FsDirectory& parent, std::u16string_view name,
                                   std::uint32_t attributes, bool replacing);
    // Closes the file and gives it its name, replacing an existing entry.
    // False when either fails: nothing then has the name but what had it
    // before, and Discard removes the rest.
    bool Commit(std::unique_ptr<FsFile> file);
    // Removes the temporary file, if there is one; the name it was meant
    // for when one was removed.
    std::optional<std::u16string> Discard();
    // From any thread: removes the temporary file and refuses every later
    // Create. The caller ends the process next.
    std::optional<std::u16string> Abandon();
    // Lock-free, for a signal handler: whether an unfinished file may exist.
    bool MayExist() const { return mayExist_.load(); }

private:
    std::optional<std::u16string> RemoveLocked();

    std::mutex mutex_;
    ExtractFileSystem* fileSystem_ = nullptr; // set while a temporary file exists
    FsDirectory* parent_ = nullptr;
    std::u16string temporaryName_; // empty while the file has no name
    std::u16string name_;
    std::uint32_t nextNumber_ = 0;
    bool abandoned_ = false;
    std::atomic<bool> mayExist_{false};
};
