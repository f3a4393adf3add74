#include "platform/extract_fs_folder_web.h"
#include "platform/extract_fs_web.h"

#include <emscripten.h>

#include <limits>
#include <string>

namespace {

// The worker's answers (Module.folder in page_worker.js). Handles are small
// numbers in its table; 0 is none. Names arrive as UTF-8.
EM_ASYNC_JS(int, FolderKindOf, (int directory, const char* name), {
    return await Module.folder.kindOf(directory, UTF8ToString(name));
});
EM_ASYNC_JS(int, FolderMakeDirectory, (int directory, const char* name), {
    return await Module.folder.makeDirectory(directory, UTF8ToString(name));
});
EM_ASYNC_JS(int, FolderOpenDirectory, (int directory, const char* name), {
    return await Module.folder.openDirectory(directory, UTF8ToString(name));
});
EM_ASYNC_JS(int, FolderRemove, (int directory, const char* name), {
    return await Module.folder.remove(directory, UTF8ToString(name));
});
EM_ASYNC_JS(int, FolderCreateFile, (int directory, const char* name), {
    return await Module.folder.createFile(directory, UTF8ToString(name));
});
EM_ASYNC_JS(int, FolderWrite, (int file, const std::uint8_t* data, std::size_t length), {
    // A copy: the engine's memory may grow, and the block is reused.
    return await Module.folder.write(file, HEAPU8.slice(data, data + length));
});
EM_ASYNC_JS(int, FolderClose, (int file), { return await Module.folder.close(file); });
// Without waiting: called from destructors. The worker finishes the abort
// before it answers the next operation on that name.
EM_JS(void, FolderAbort, (int file), { Module.folder.abort(file); });
EM_JS(void, FolderRelease, (int handle), { Module.folder.release(handle); });

enum Kind { Missing = 0, File = 1, Directory = 2 };

constexpr int RootHandle = 1;

class FolderDirectory final : public FsDirectory {
public:
    explicit FolderDirectory(int handle) : handle(handle) {}
    ~FolderDirectory() override
    {
        if (handle != RootHandle)
            FolderRelease(handle);
    }
    FolderDirectory(const FolderDirectory&) = delete;
    FolderDirectory& operator=(const FolderDirectory&) = delete;
    const int handle;
};

class FolderFile final : public FsFile {
public:
    explicit FolderFile(int handle) : handle(handle) {}
    // Unclosed: the replacement is dropped, the entry stays as it was.
    ~FolderFile() override
    {
        if (!closed)
            FolderAbort(handle);
    }
    FolderFile(const FolderFile&) = delete;
    FolderFile& operator=(const FolderFile&) = delete;
    const int handle;
    bool closed = false;
};

int HandleOf(FsDirectory& directory)
{
    return static_cast<FolderDirectory&>(directory).handle;
}

class FolderFileSystem final : public ExtractFileSystem {
public:
    std::unique_ptr<FsDirectory> OpenDestination(std::u16string_view) override
    {
        return std::make_unique<FolderDirectory>(RootHandle);
    }

    bool QueryFreeSpace(std::u16string_view, std::uint64_t* bytes) override
    {
        // The API reports no free space of a picked folder; a full disk
        // shows as a failed write instead.
        *bytes = std::numeric_limits<std::uint64_t>::max();
        return true;
    }

    // An entry the browser will not name is reported missing: creating it
    // then fails with the error that belongs to it.
    bool Exists(FsDirectory& parent, std::u16string_view name) override
    {
        return FolderKindOf(HandleOf(parent), WebEntryName(name).c_str()) > Missing;
    }

    bool MakeDirectory(FsDirectory& parent, std::u16string_view name) override
    {
        return FolderMakeDirectory(HandleOf(parent), WebEntryName(name).c_str()) != 0;
    }

    std::unique_ptr<FsDirectory> OpenDirectory(FsDirectory& parent, std::u16string_view name) override
    {
        const int handle = FolderOpenDirectory(HandleOf(parent), WebEntryName(name).c_str());
        return handle > 0 ? std::make_unique<FolderDirectory>(handle) : nullptr;
    }

    bool SetDirectoryCreationTime(FsDirectory&, std::uint64_t) override { return true; }

    bool RemoveEntry(FsDirectory& parent, std::u16string_view name) override
    {
        return FolderRemove(HandleOf(parent), WebEntryName(name).c_str()) != 0;
    }

    // The API has no read-only mark; the attributes are not kept.
    std::unique_ptr<FsFile> CreateNewFile(FsDirectory& parent, std::u16string_view name, std::uint32_t) override
    {
        const int handle = FolderCreateFile(HandleOf(parent), WebEntryName(name).c_str());
        return handle > 0 ? std::make_unique<FolderFile>(handle) : nullptr;
    }

    bool Write(FsFile& file, const std::uint8_t* data, std::size_t length) override
    {
        return FolderWrite(static_cast<FolderFile&>(file).handle, data, length) != 0;
    }

    // The API sets no times: the files keep the time they were written.
    bool SetFileTimes(FsFile&, std::uint64_t, std::uint64_t) override { return true; }

    bool Close(std::unique_ptr<FsFile> file) override
    {
        if (!file)
            return false;
        auto& folderFile = static_cast<FolderFile&>(*file);
        folderFile.closed = true;
        return FolderClose(folderFile.handle) != 0;
    }

    bool RenameEntry(FsDirectory&, std::u16string_view, std::u16string_view) override { return false; }

    // A writable stream of the API goes to a file of the browser's own
    // beside the entry and replaces it on close.
    bool PublishesOnClose() const override { return true; }
    bool ReplacesOnClose() const override { return true; }
};

} // namespace

std::unique_ptr<ExtractFileSystem> MakeFolderExtractFileSystem()
{
    return std::make_unique<FolderFileSystem>();
}
