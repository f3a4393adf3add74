#pragma once
// Removing entries from the file system, with or without overwriting them
// first. Entries are named relative to a directory handle: the caller's path
// through a handle of its parent folder, opened once, so that a folder on
// the path swapped for a link afterwards cannot redirect a later step.
// Symbolic links are never followed: a link is removed itself and its
// target is left alone.

#include "core/entry_name.h"
#include "ivqa.h"
#include "platform/file_status.h"
#include "platform/unique_fd.h"

// The two callbacks every removal reports through.
struct RemovalCallbacks {
    NameCallback onName = nullptr;
    SkipCallback onSkip = nullptr;

    void ReportName(const char16_t* name) const
    {
        if (onName != nullptr)
            onName(name);
    }
    // True when the caller says skip; without a callback nobody can say so.
    bool AskSkip(const char16_t* name) const { return onSkip != nullptr && onSkip(name) != 0; }
};

// What a walk does with an entry that is not a directory.
class FileRemover {
public:
    // IQ_OK (also after a skip), or the result that stops the walk.
    // `walkTop` is the folder a walk started from, null for the caller's own
    // file: inside a walk an entry on another file system is left to the
    // skip question.
    virtual CoreResult Remove(int dirFd, const EntryName& entry, const FileStatus* walkTop) = 0;

protected:
    ~FileRemover() = default;
};

// Plain deletion, IQ_RmFile: a file without owner write permission counts
// as read-only and is left to the skip question.
class FileDeleter final : public FileRemover {
public:
    explicit FileDeleter(const RemovalCallbacks& callbacks) : callbacks_(callbacks) {}
    CoreResult Remove(int dirFd, const EntryName& entry, const FileStatus* walkTop) override;

private:
    const RemovalCallbacks& callbacks_;
};

// Empties the directory depth-first, handing every non-directory to
// `remover`, and removes it. The filesystem root is refused with
// IQ_INPUT_DIR_ERROR before anything in it is touched, at any depth. A
// folder on another file system (a mount point) is not entered: the skip
// question.
CoreResult RemoveTree(const RemovalCallbacks& callbacks, FileRemover& remover, int dirFd, const EntryName& entry);

// A caller's path as a handle of its parent folder and the last component
// (`entry.path`); the callbacks get the path as given (`entry.display`).
// Windows has no such handles: there `parent` stays invalid and
// `entry.path` is the whole "\\?\" path.
// When the parent cannot be opened the handle is invalid, so that the first
// step on the entry fails into the skip question.
struct PinnedPath {
    UniqueFd parent;
    EntryName entry;
};
// A path that is not valid UTF-16 names nothing.
PinnedPath PinCallerFile(const char16_t* path);
// As above, with trailing '/' dropped: "link/" would otherwise resolve
// through the link. The root is pinned as "." in "/".
PinnedPath PinCallerDir(const char16_t* path);
