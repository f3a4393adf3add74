#pragma once

#include "frontend/main/input_entry.h"

#include <QString>
#include <QStringView>

#include <cstddef>
#include <string>
#include <vector>

class InputListModel;

// A terminated UTF-16 text in locked memory, for what the library must get
// but nobody may find later: passphrase, keyfile location, help text. The
// whole buffer is zero-filled on wipe() and on release.
class LockedUtf16 {
public:
    // Room for `units` units, the terminator included.
    explicit LockedUtf16(std::size_t units);
    ~LockedUtf16();
    LockedUtf16(const LockedUtf16&) = delete;
    LockedUtf16& operator=(const LockedUtf16&) = delete;

    // False when the locked memory could not be had.
    bool allocated() const { return units_ != nullptr; }
    // Copies `text` when it fits with its terminator; a text that does not
    // fit leaves the buffer empty rather than cut: a cut passphrase or path
    // would quietly be another one.
    void assign(QStringView text);
    // The text, or null when it is empty: the library takes null for "none".
    const char16_t* textOrNull() const;
    void wipe();

private:
    char16_t* units_ = nullptr;
    std::size_t capacity_;
};

// A path as the library gets it: UTF-16, and empty when the path is longer
// than the platform's limit (PATH_MAX bytes with the terminator).
std::u16string pathForLibrary(const QString& path);

// One input-list entry, taken from the list on the GUI thread when a run
// starts; the list cannot change while the run's window is shown.
struct RunEntry {
    EntryKind kind = EntryKind::File;
    std::u16string path;  // the file's full path, or the folder path
    int level = 0;
};

std::vector<RunEntry> takeRunEntries(const InputListModel& list);

// The last component of a path the library reports; the root keeps "/".
QString lastPathComponent(const QString& path);
