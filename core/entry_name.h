#pragma once
// How an entry handed to the writer is named: the path the system calls use,
// the text the callbacks show, and the one component the record stores.

#include <string>
#include <string_view>

struct EntryName {
    // UTF-8, relative to the walk's current directory handle (or the
    // process's working directory for the caller's own paths).
    std::string path;
    // What NameCallback and SkipCallback get, terminated by c_str().
    std::u16string display;
    // The name as recorded: one component of at most MaxNameUnits units.
    std::u16string recorded;
    // False when the name cannot be recorded faithfully (too long, no usable
    // last component, or a caller's path holding lone surrogates other than
    // escaped bytes): the skip question. Bytes that are not UTF-8 are
    // recorded escaped.
    bool recordable = false;
    // Whether a symbolic link at the end of `path` is followed deliberately.
    // Entries met as real files or directories are opened with O_NOFOLLOW,
    // so a swap for a link between listing and opening is not followed.
    bool followLink = true;
};

// A path as the caller gave it. The recorded name is its last component,
// trailing '/' ignored; the filesystem root is recorded as "root" (on
// Windows: after the last '\' or '/', a drive root as its letter, and
// `path` is the whole "\\?\" path).
EntryName CallerEntryName(const char16_t* path);

#ifdef _WIN32
// A listed entry on Windows, where every path is whole: `path` is the
// entry's path below its folder's, `name` the bare name it is shown and
// recorded by.
EntryName ListedEntryName(const std::string& path, std::wstring_view name, bool isLink);
#else
// A bare name from a directory listing.
EntryName ListedEntryName(const char* name, bool isLink);
#endif

