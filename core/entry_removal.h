#pragma once
// Removing entries from the file system, with or without overwriting them
// first. Entries are named relative to a directory handle (`dirFd`, or
// AT_FDCWD for the caller's own paths). Symbolic links are never followed:
// a link is removed itself and its target is left alone.

#include "core/entry_name.h"
#include "ivqa.h"

// The two callbacks every removal reports through.
struct RemovalCallbacks {
    NameCallback onName = nullptr;
    SkipCallback onSkip = nullptr;

    void ReportName(const char16_t* name) const;
    // True when the caller says skip; without a callback nobody can say so.
    bool AskSkip(const char16_t* name) const;
};

// What a walk does with an entry that is not a directory.
class FileRemover {
public:
    // IQ_OK (also after a skip), or the result that stops the walk.
    virtual CoreResult Remove(int dirFd, const EntryName& entry) = 0;

protected:
    ~FileRemover() = default;
};

// Plain deletion, IQ_RmFile: a file without owner write permission counts
// as read-only and is left to the skip question.
class FileDeleter final : public FileRemover {
public:
    explicit FileDeleter(const RemovalCallbacks& callbacks) : callbacks_(callbacks) {}
    CoreResult Remove(int dirFd, const EntryName& entry) override;

private:
    const RemovalCallbacks& callbacks_;
};

// Empties the directory depth-first, handing every non-directory to
// `remover`, and removes it. The filesystem root is refused with
// IQ_INPUT_DIR_ERROR before anything in it is touched, at any depth.
CoreResult RemoveTree(const RemovalCallbacks& callbacks, FileRemover& remover, int dirFd, const EntryName& entry);

// A caller's path; the callbacks get it as given. A path that is not valid
// UTF-16 gets an empty system path, which names nothing.
EntryName CallerFilePath(const char16_t* path);
// As above, with trailing '/' dropped (the root excepted): "link/" would
// otherwise resolve through the link.
EntryName CallerDirPath(const char16_t* path);
