#pragma once
// The file-system operations of the extraction engine. The engine never
// names a path below the destination: it holds one directory handle per
// level of the walk and passes bare entry names, so a backend can make sure
// that nothing outside the destination is ever touched and that no existing
// link is followed. The same engine source runs over every backend; tests
// put a wrapper in between to inject faults.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// An open directory of the walk. Backends derive their own handle types.
class FsDirectory {
public:
    virtual ~FsDirectory() = default;
};

// A file opened for writing by CreateNewFile. Destroying it closes it.
class FsFile {
public:
    virtual ~FsFile() = default;
};

class ExtractFileSystem {
public:
    virtual ~ExtractFileSystem() = default;

    // The destination folder as the user entered it (it may be a link; the
    // user chose it). Null when it does not exist or is not a directory.
    virtual std::unique_ptr<FsDirectory> OpenDestination(std::u16string_view path) = 0;

    // Bytes available to the caller on the file system of the destination.
    virtual bool QueryFreeSpace(std::u16string_view destination, std::uint64_t* bytes) = 0;

    // Whether anything of that name exists in `parent`; a link counts as
    // existing whatever it points at.
    virtual bool Exists(FsDirectory& parent, std::u16string_view name) = 0;

    virtual bool MakeDirectory(FsDirectory& parent, std::u16string_view name) = 0;

    // Opens an existing directory; null when the entry is not a directory or
    // is a link of any kind.
    virtual std::unique_ptr<FsDirectory> OpenDirectory(FsDirectory& parent, std::u16string_view name) = 0;

    // Where the platform keeps creation times; a no-op elsewhere.
    virtual bool SetDirectoryCreationTime(FsDirectory& directory, std::uint64_t creationTime) = 0;

    // Removes a file or a link (never its target); fails on a directory.
    virtual bool RemoveEntry(FsDirectory& parent, std::u16string_view name) = 0;

    // Creates a file that did not exist (a link of that name makes it fail)
    // for writing. `attributes` is the archive's attribute word: read-only
    // gives a file without write permission.
    virtual std::unique_ptr<FsFile> CreateNewFile(FsDirectory& parent, std::u16string_view name,
                                                  std::uint32_t attributes) = 0;

    // The whole buffer or failure.
    virtual bool Write(FsFile& file, const std::uint8_t* data, std::size_t length) = 0;

    // FILETIME values; the last-access time is left alone.
    virtual bool SetFileTimes(FsFile& file, std::uint64_t creationTime, std::uint64_t lastWriteTime) = 0;

    // Closes the file; false when the system reports that written data was lost.
    virtual bool Close(std::unique_ptr<FsFile> file) = 0;

    // Gives the closed file `from` the name `to` in the same directory in one
    // step, replacing a file or a link of that name (never its target, never
    // a directory): until then the old entry stays as it was.
    virtual bool RenameEntry(FsDirectory& parent, std::u16string_view from, std::u16string_view to) = 0;

    // A file for writing with no name yet in `parent`: nobody sees it until
    // LinkFile names it, and it is gone with its handle if it never gets a
    // name. Null where the system has no such files (the caller then writes
    // under a temporary name).
    virtual std::unique_ptr<FsFile> CreateUnnamedFile(FsDirectory& parent, std::uint32_t attributes)
    {
        (void)parent;
        (void)attributes;
        return nullptr;
    }
    // Gives a file of CreateUnnamedFile, still open, the name `name` in the
    // folder it was made in; fails when an entry of that name exists.
    virtual bool LinkFile(FsFile& file, FsDirectory& parent, std::u16string_view name)
    {
        (void)file;
        (void)parent;
        (void)name;
        return false;
    }
    // True where a file counts only once it is closed (an entry of a zip
    // stream): extraction then writes it under its own name, since nobody can
    // see it half written.
    virtual bool PublishesOnClose() const { return false; }

    // True where CreateNewFile may also name an existing file and replaces it
    // only when the new one is closed whole (a browser's writable stream);
    // removing the unclosed file then drops only what was written, leaving
    // the old entry as it was.
    virtual bool ReplacesOnClose() const { return false; }
};

// The backend of this platform.
std::unique_ptr<ExtractFileSystem> MakeNativeExtractFileSystem();

// Whether a recorded name is one plain component on this platform: not
// empty, not "." or "..", and nothing that the system reads as a separator,
// a drive or a stream. Anything else would name a place other than an entry
// of the current directory.
bool IsPlainEntryName(std::u16string_view name);

// The name under which a recorded entry is written on this platform, or
// nothing when no name can stand for it (empty, ".", "..", or something the
// platform reads as a separator and that cannot be mapped). Linux writes a
// plain name as recorded; Windows maps what its names cannot hold.
std::optional<std::u16string> WritableEntryName(std::u16string_view recorded);
