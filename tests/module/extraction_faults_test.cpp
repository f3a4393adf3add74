// Failures of the file system, injected between the engine and the native
// backend: free space, writes, times, closing.

#include "core/archive_format.h"
#include "module_test_support.h"
#include "payload_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

struct Faults {
    std::optional<std::uint64_t> freeSpace = std::nullopt; // none: the native answer
    bool failFreeSpaceQuery = false;
    bool failWrite = false; // the second write of a file
    bool failTimes = false;
    bool failClose = false;
    bool failMakeDirectory = false;
    bool failRename = false;
};

class FaultyFileSystem final : public ExtractFileSystem {
public:
    explicit FaultyFileSystem(Faults faults) : faults_(faults) {}

    std::unique_ptr<FsDirectory> OpenDestination(std::u16string_view path) override
    {
        return native_->OpenDestination(path);
    }
    bool QueryFreeSpace(std::u16string_view destination, std::uint64_t* bytes) override
    {
        queriedPath = std::u16string(destination);
        if (faults_.failFreeSpaceQuery)
            return false;
        if (faults_.freeSpace) {
            *bytes = *faults_.freeSpace;
            return true;
        }
        return native_->QueryFreeSpace(destination, bytes);
    }
    bool Exists(FsDirectory& parent, std::u16string_view name) override { return native_->Exists(parent, name); }
    bool MakeDirectory(FsDirectory& parent, std::u16string_view name) override
    {
        return !faults_.failMakeDirectory && native_->MakeDirectory(parent, name);
    }
    std::unique_ptr<FsDirectory> OpenDirectory(FsDirectory& parent, std::u16string_view name) override
    {
        return native_->OpenDirectory(parent, name);
    }
    bool SetDirectoryCreationTime(FsDirectory& directory, std::uint64_t time) override
    {
        return native_->SetDirectoryCreationTime(directory, time);
    }
    bool RemoveEntry(FsDirectory& parent, std::u16string_view name) override
    {
        return native_->RemoveEntry(parent, name);
    }
    std::unique_ptr<FsFile> CreateNewFile(FsDirectory& parent, std::u16string_view name,
                                          std::uint32_t attributes) override
    {
        writes_ = 0;
        return native_->CreateNewFile(parent, name, attributes);
    }
    bool Write(FsFile& file, const std::uint8_t* data, std::size_t length) override
    {
        if (faults_.failWrite && ++writes_ == 2)
            return false;
        return native_->Write(file, data, length);
    }
    bool SetFileTimes(FsFile& file, std::uint64_t creation, std::uint64_t lastWrite) override
    {
        return !faults_.failTimes && native_->SetFileTimes(file, creation, lastWrite);
    }
    bool Close(std::unique_ptr<FsFile> file) override
    {
        const bool closed = native_->Close(std::move(file));
        return closed && !faults_.failClose;
    }
    bool RenameEntry(FsDirectory& parent, std::u16string_view from, std::u16string_view to) override
    {
        return !faults_.failRename && native_->RenameEntry(parent, from, to);
    }

    std::u16string queriedPath;

private:
    Faults faults_;
    std::unique_ptr<ExtractFileSystem> native_ = MakeNativeExtractFileSystem();
    int writes_ = 0;
};

struct FaultCase {
    const char* label;
    Faults faults;
    ExtractResult expected;
    // What the destination holds afterwards: "sub/big" only when whole.
    std::vector<std::string> tree;
};

class FileSystemFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FileSystemFaults, EndTheRunWithTheirCode)
{
    const FaultCase& c = GetParam();
    const auto data = TextBytes(2 * BlockSize, 8);
    PayloadBuilder builder(CipherAes256, u"p");
    builder.EnterDir(u"sub").File(u"big", data).LeaveDir();

    TempDir dir;
    FaultyFileSystem faulty(c.faults);
    RecordingObserver observer;
    EXPECT_EQ(ExtractPayload(builder.Bytes(), u"p", dir.Path(), observer, ExtractMode::Extract, &faulty),
              c.expected);
    const std::string big = dir / "sub/big";
    // Nothing unfinished stays, under its name or another.
    EXPECT_EQ(ListTree(dir.Path()), c.tree);
    if (fs::exists(big)) {
        EXPECT_EQ(fs::file_size(big), data.size());
    }
    if (c.expected == ExtractResult::Done) {
        EXPECT_EQ(LastWriteTime(big).tv_sec, 1700000000);
        // The free space is asked of the destination as entered, not of the
        // directory the file goes to.
        EXPECT_EQ(faulty.queriedPath, U16(dir.Path()));
    }
}

const FaultCase FaultCases[] = {
    {"free space equal to the size", {.freeSpace = 2 * BlockSize}, ExtractResult::Done, {"sub/", "sub/big"}},
    {"one byte short", {.freeSpace = 2 * BlockSize - 1}, ExtractResult::NoDiskSpace, {"sub/"}},
    {"free space cannot be queried", {.failFreeSpaceQuery = true}, ExtractResult::NoDiskSpace, {"sub/"}},
    {"second write fails", {.failWrite = true}, ExtractResult::OutputFileError, {"sub/"}},
    {"times cannot be set", {.failTimes = true}, ExtractResult::OutputFileError, {"sub/"}},
    {"close reports lost data", {.failClose = true}, ExtractResult::OutputFileError, {"sub/"}},
    {"rename fails", {.failRename = true}, ExtractResult::OutputFileError, {"sub/"}},
    {"directory cannot be created", {.failMakeDirectory = true}, ExtractResult::OutputDirError, {}},
};

INSTANTIATE_TEST_SUITE_P(Injected, FileSystemFaults, ::testing::ValuesIn(FaultCases));

} // namespace
