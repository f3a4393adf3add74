// The engine's main paths: what it restores, in which order it reports,
// the overwrite question, the modes that write nothing, its hooks.

#include "core/archive_format.h"
#include "module_test_support.h"
#include "payload_builder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t SampleUnixSeconds = 1700000000; // SampleTime

std::string DataPath(const std::string& name)
{
    const char* source = std::getenv("IVQA_SOURCE_DIR");
    return std::string(source != nullptr ? source : ".") + "/tests/module/data/" + name;
}

std::vector<std::uint8_t> Repeat(const std::string& text, int times)
{
    std::vector<std::uint8_t> out;
    for (int i = 0; i < times; ++i)
        out.insert(out.end(), text.begin(), text.end());
    return out;
}

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

class SamplePayload : public ::testing::TestWithParam<const char*> {};

// The two sample payloads were written by an independent writer.
TEST_P(SamplePayload, RestoresTreeContentsTimesAndReadOnlyAttribute)
{
    const auto payload = ReadFile(DataPath(GetParam()));
    TempDir dir;
    RecordingObserver observer;
    ASSERT_EQ(ExtractPayload(payload, u"Sample pass", dir.Path(), observer), ExtractResult::Done);

    EXPECT_EQ(observer.events, (std::vector<std::string>{"d:docs", "f:readme.txt:64", "d:empty", "<",
                                                         "f:zero.bin:0", "<", "f:top.dat:768"}));
    EXPECT_EQ(ListTree(dir.Path()), (std::vector<std::string>{"docs/", "docs/empty/", "docs/readme.txt",
                                                              "docs/zero.bin", "top.dat"}));
    EXPECT_EQ(ReadFile(dir / "docs/readme.txt"), Repeat("Hello, archive.\n", 4));
    std::vector<std::uint8_t> top;
    for (int round = 0; round < 3; ++round)
        for (int byte = 0; byte < 256; ++byte)
            top.push_back(static_cast<std::uint8_t>(byte));
    EXPECT_EQ(ReadFile(dir / "top.dat"), top);
    EXPECT_TRUE(ReadFile(dir / "docs/zero.bin").empty());

    for (const char* file : {"docs/readme.txt", "docs/zero.bin", "top.dat"}) {
        const timespec time = LastWriteTime(dir / file);
        EXPECT_EQ(time.tv_sec, SampleUnixSeconds) << file;
        EXPECT_EQ(time.tv_nsec, 0) << file;
    }
    struct stat info {};
    ASSERT_EQ(::stat((dir / "docs/zero.bin").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0222, 0U) << "attribute 0x21 is read-only";
    ASSERT_EQ(::stat((dir / "top.dat").c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IWUSR, 0U);

    // A checkpoint before each of the 7 records, each of the 2 blocks, and
    // the read that finds the end.
    EXPECT_EQ(observer.checkpoints, 10U);
    EXPECT_EQ(observer.blocks, 2U);
    EXPECT_EQ(observer.inflatedBytes, 64U + 768U);
}

INSTANTIATE_TEST_SUITE_P(Ciphers, SamplePayload,
                         ::testing::Values("sample_payload_aes.bin", "sample_payload_rc4.bin"));

TEST(ExtractionEngine, KeyCheckComesBeforeTheDestination)
{
    const auto payload = ReadFile(DataPath("sample_payload_aes.bin"));
    TempDir dir;
    const std::string missing = dir / "missing";
    struct Case {
        const char16_t* passphrase;
        ExtractResult expected;
    };
    for (const Case& c : {Case{u"Sample pas", ExtractResult::WrongKey}, Case{u"Sample pass", ExtractResult::OutputDirError}}) {
        RecordingObserver observer;
        EXPECT_EQ(ExtractPayload(payload, c.passphrase, missing, observer), c.expected);
        EXPECT_TRUE(observer.events.empty());
    }
    EXPECT_TRUE(ListTree(dir.Path()).empty());
}

TEST(ExtractionEngine, EveryCipherRoundTripsBlocksOfEveryShape)
{
    const auto text = TextBytes(BlockSize + 1, 1);
    const auto noise = NoiseBytes(3000, 2);
    for (std::uint32_t cipher = 0; cipher < CipherCount; ++cipher) {
        PayloadBuilder builder(cipher, u"pass \u00e9\u0416");
        builder.EnterDir(u"\u0444\u0430\u0439\u043b\u044b")
            .File(u"text.txt", text, 9)
            .File(u"noise.bin", noise, 0)
            .File(u"empty", {})
            .EnterDir(u"nested")
            .LeaveDir()
            .LeaveDir();
        TempDir dir;
        RecordingObserver observer;
        ASSERT_EQ(ExtractPayload(builder.Bytes(), u"pass \u00e9\u0416", dir.Path(), observer), ExtractResult::Done)
            << "cipher " << cipher;
        const std::string folder = dir / "\xd1\x84\xd0\xb0\xd0\xb9\xd0\xbb\xd1\x8b";
        EXPECT_EQ(ReadFile(folder + "/text.txt"), text);
        EXPECT_EQ(ReadFile(folder + "/noise.bin"), noise);
        EXPECT_TRUE(ReadFile(folder + "/empty").empty());
        EXPECT_TRUE(fs::is_directory(folder + "/nested"));
        EXPECT_EQ(observer.blocks, 3U) << "1 MiB + 1 byte is two blocks";
    }
}

TEST(ExtractionEngine, ArchiveWithoutRecordsIsDone)
{
    PayloadBuilder builder(CipherBlowfish, u"p");
    TempDir dir;
    RecordingObserver observer;
    EXPECT_EQ(ExtractPayload(builder.Bytes(), u"p", dir.Path(), observer), ExtractResult::Done);
    EXPECT_TRUE(ListTree(dir.Path()).empty());
}

TEST(ExtractionEngine, PassphraseIsCutTo255Units)
{
    const std::u16string stored(255, u'x');
    PayloadBuilder builder(CipherAes256, stored);
    builder.File(u"f", Bytes("data"));
    struct Case {
        std::u16string typed;
        ExtractResult expected;
    };
    for (const Case& c : {Case{std::u16string(300, u'x'), ExtractResult::Done},
                          Case{std::u16string(254, u'x'), ExtractResult::WrongKey}}) {
        TempDir dir;
        RecordingObserver observer;
        EXPECT_EQ(ExtractPayload(builder.Bytes(), c.typed, dir.Path(), observer), c.expected)
            << c.typed.size() << " units";
    }
}

TEST(ExtractionEngine, LongestNameAndLargestPackedBlockAreReadInFull)
{
    const auto data = TextBytes(5000, 3);
    auto packed = Deflate(data, 6);
    packed.resize(MaxPackedBlock, 0); // bytes behind the stream's end are never inflated
    PayloadBuilder builder(CipherRc4, u"p");
    PayloadBuilder::FileFields fields;
    fields.name = u"packed";
    fields.size = data.size();
    fields.blockCount = 1;
    builder.FileRecord(fields).Block(Crc32Of(data), packed);
    fields = {};
    fields.name = std::u16string(MaxNameUnits, u'n');
    builder.FileRecord(fields).File(u"after", Bytes("next"));

    RecordingObserver tested;
    TempDir unused;
    ASSERT_EQ(ExtractPayload(builder.Bytes(), u"p", unused.Path(), tested, ExtractMode::Test), ExtractResult::Done);
    EXPECT_EQ(tested.events, (std::vector<std::string>{"f:packed:5000", "f:" + std::string(MaxNameUnits, 'n') + ":0",
                                                       "f:after:4"}));

    // Linux names stop at 255 bytes: such a file cannot be created here.
    TempDir dir;
    RecordingObserver extracted;
    EXPECT_EQ(ExtractPayload(builder.Bytes(), u"p", dir.Path(), extracted), ExtractResult::OutputFileError);
    EXPECT_EQ(ReadFile(dir / "packed"), data);
}

TEST(ExtractionEngine, KeyfileAloneOrWithPassphrase)
{
    TempDir dir;
    const std::string keyfile = dir / "key.bin";
    WriteFile(keyfile, NoiseBytes(2048, 9)); // a multiple of the read size
    const std::u16string location = U16("file://" + keyfile);
    struct Case {
        std::u16string passphrase;
        std::u16string keyfile;
        ExtractResult expected;
    };
    const Case cases[] = {
        {u"", location, ExtractResult::Done},
        {u"", U16(keyfile), ExtractResult::Done}, // a plain path reads the same file
        {u"", U16("file://" + dir / "absent"), ExtractResult::KeyfileError},
        {u"", u"", ExtractResult::WrongKey},
        // Only a regular file has an end: these are refused at once instead
        // of blocking the open or reading for ever.
        {u"", U16(dir / "fifo"), ExtractResult::KeyfileError},
        {u"", u"file:///dev/zero", ExtractResult::KeyfileError},
        {u"", U16(dir.Path()), ExtractResult::KeyfileError},
    };
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    PayloadBuilder builder(CipherRc5, u"", u"", location);
    builder.File(u"f", Bytes("secret"));
    for (const Case& c : cases) {
        TempDir out;
        RecordingObserver observer;
        EXPECT_EQ(ExtractPayload(builder.Bytes(), c.passphrase, out.Path(), observer, ExtractMode::Extract,
                                 nullptr, c.keyfile),
                  c.expected);
    }

    PayloadBuilder both(CipherCast256, u"pw", u"", location);
    both.File(u"f", Bytes("secret"));
    TempDir out;
    RecordingObserver observer;
    EXPECT_EQ(ExtractPayload(both.Bytes(), u"pw", out.Path(), observer, ExtractMode::Extract, nullptr, location),
              ExtractResult::Done);
    EXPECT_EQ(ReadText(out / "f"), "secret");
}

class Overwrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(dir / "keep.txt", "old");
        builder.File(u"keep.txt", Bytes("new contents"), 6, 0x20, SampleTime).File(u"next.txt", Bytes("next"));
    }

    TempDir dir;
    PayloadBuilder builder{CipherAes256, u"p"};
};

TEST_F(Overwrite, NoKeepsTheFileAndGoesOn)
{
    RecordingObserver observer;
    observer.overwriteAnswer = false;
    ASSERT_EQ(ExtractPayload(builder.Bytes(), u"p", dir.Path(), observer), ExtractResult::Done);
    EXPECT_EQ(ReadText(dir / "keep.txt"), "old");
    EXPECT_NE(LastWriteTime(dir / "keep.txt").tv_sec, SampleUnixSeconds);
    EXPECT_EQ(ReadText(dir / "next.txt"), "next");
    EXPECT_EQ(observer.blocks, 2U) << "the skipped file's block is still verified";
}

TEST_F(Overwrite, YesReplacesAReadOnlyFile)
{
    ASSERT_EQ(::chmod((dir / "keep.txt").c_str(), 0444), 0);
    RecordingObserver observer;
    observer.overwriteAnswer = true;
    ASSERT_EQ(ExtractPayload(builder.Bytes(), u"p", dir.Path(), observer), ExtractResult::Done);
    EXPECT_EQ(ReadText(dir / "keep.txt"), "new contents");
    EXPECT_EQ(LastWriteTime(dir / "keep.txt").tv_sec, SampleUnixSeconds);
    EXPECT_EQ(observer.events[1], "?keep.txt");
}

// The file is written under a temporary name and takes its own only when
// whole: the file it replaces stays intact until then, also when the run
// fails inside the new one.
TEST_F(Overwrite, ReplacedFileStaysIntactUntilTheNewOneIsWhole)
{
    const auto data = TextBytes(2 * BlockSize, 12);
    const std::vector<std::uint8_t> first(data.begin(), data.begin() + BlockSize);
    const std::vector<std::uint8_t> second(data.begin() + BlockSize, data.end());
    for (const bool damaged : {false, true}) {
        PayloadBuilder payload(CipherAes256, u"p");
        PayloadBuilder::FileFields fields;
        fields.name = u"keep.txt";
        fields.size = data.size();
        fields.blockCount = 2;
        payload.FileRecord(fields)
            .Block(Crc32Of(first), Deflate(first, 6))
            .Block(Crc32Of(second) + (damaged ? 1 : 0), Deflate(second, 6));
        WriteFile(dir / "keep.txt", "old");
        RecordingObserver observer;
        observer.overwriteAnswer = true;
        std::vector<std::string> whileWriting;
        observer.onCheckpoint = [&] {
            if (observer.checkpoints == 3) { // before the second block
                whileWriting = ListTree(dir.Path());
                EXPECT_EQ(ReadText(dir / "keep.txt"), "old") << damaged;
            }
        };
        EXPECT_EQ(ExtractPayload(payload.Bytes(), u"p", dir.Path(), observer),
                  damaged ? ExtractResult::Corrupted : ExtractResult::Done);
        ASSERT_EQ(whileWriting.size(), 2U) << damaged;
        EXPECT_TRUE(whileWriting[0].starts_with(".ivqa-part-")) << whileWriting[0];
        EXPECT_EQ(ListTree(dir.Path()), std::vector<std::string>{"keep.txt"}) << damaged;
        EXPECT_EQ(fs::file_size(dir / "keep.txt"), damaged ? 3 : data.size()) << damaged;
        EXPECT_EQ(observer.removed, damaged ? std::vector<std::string>{"keep.txt"} : std::vector<std::string>{});
    }
}

// A file that replaces nothing is written without a name and linked under
// its own once whole: nothing shows in the folder while it is written, and
// a run that fails inside it, or meets an entry of its name that appeared
// meanwhile, leaves nothing of it behind.
TEST(ExtractionEngine, NewFileHasNoNameUntilItIsWhole)
{
    const auto data = TextBytes(2 * BlockSize, 14);
    const std::vector<std::uint8_t> first(data.begin(), data.begin() + BlockSize);
    const std::vector<std::uint8_t> second(data.begin() + BlockSize, data.end());
    enum class Ending { Whole, DamagedBlock, NameTaken };
    for (const Ending ending : {Ending::Whole, Ending::DamagedBlock, Ending::NameTaken}) {
        SCOPED_TRACE(static_cast<int>(ending));
        TempDir dir;
        PayloadBuilder payload(CipherAes256, u"p");
        PayloadBuilder::FileFields fields;
        fields.name = u"new.bin";
        fields.size = data.size();
        fields.blockCount = 2;
        fields.attributes = 0x1; // read-only
        payload.FileRecord(fields)
            .Block(Crc32Of(first), Deflate(first, 6))
            .Block(Crc32Of(second) + (ending == Ending::DamagedBlock ? 1 : 0), Deflate(second, 6));
        RecordingObserver observer;
        std::vector<std::string> whileWriting{"not looked"};
        observer.onCheckpoint = [&] {
            if (observer.checkpoints == 3) { // before the second block
                whileWriting = ListTree(dir.Path());
                if (ending == Ending::NameTaken)
                    WriteFile(dir / "new.bin", "someone else's");
            }
        };
        const ExtractResult expected = ending == Ending::Whole          ? ExtractResult::Done
                                       : ending == Ending::DamagedBlock ? ExtractResult::Corrupted
                                                                        : ExtractResult::OutputFileError;
        EXPECT_EQ(ExtractPayload(payload.Bytes(), u"p", dir.Path(), observer), expected);
        EXPECT_EQ(whileWriting, std::vector<std::string>{});
        EXPECT_EQ(observer.removed,
                  ending == Ending::Whole ? std::vector<std::string>{} : std::vector<std::string>{"new.bin"});
        switch (ending) {
        case Ending::Whole:
            EXPECT_EQ(ListTree(dir.Path()), std::vector<std::string>{"new.bin"});
            EXPECT_EQ(fs::file_size(dir / "new.bin"), data.size());
            EXPECT_EQ(LastWriteTime(dir / "new.bin").tv_sec, SampleUnixSeconds);
            EXPECT_EQ(fs::status(dir / "new.bin").permissions() & fs::perms::all,
                      fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
            break;
        case Ending::DamagedBlock:
            EXPECT_EQ(ListTree(dir.Path()), std::vector<std::string>{});
            break;
        case Ending::NameTaken:
            EXPECT_EQ(ListTree(dir.Path()), std::vector<std::string>{"new.bin"});
            EXPECT_EQ(ReadText(dir / "new.bin"), "someone else's");
            break;
        }
    }
}

// Entries that hold the first temporary names, a file and a dangling link,
// are passed over and left as they are.
TEST(ExtractionEngine, TakenTemporaryNamesArePassedOver)
{
    TempDir dir;
    WriteFile(dir / ".ivqa-part-00000000", "someone else's");
    fs::create_symlink("missing-target", dir / ".ivqa-part-00000001");
    PayloadBuilder builder(CipherAes256, u"p");
    builder.File(u"new.txt", Bytes("new"));
    RecordingObserver observer;
    ASSERT_EQ(ExtractPayload(builder.Bytes(), u"p", dir.Path(), observer), ExtractResult::Done);
    EXPECT_EQ(ReadText(dir / "new.txt"), "new");
    EXPECT_EQ(ReadText(dir / ".ivqa-part-00000000"), "someone else's");
    EXPECT_EQ(fs::read_symlink(dir / ".ivqa-part-00000001"), "missing-target");
    EXPECT_FALSE(fs::exists(dir / "missing-target"));
}

// Files that grew or shrank while they were read keep the block count of
// the size recorded for them; such stored archives extract as they are.
TEST(ExtractionEngine, FilesThatChangedWhileReadExtract)
{
    const auto full = TextBytes(BlockSize, 13);
    const auto tail = Bytes("tail");
    struct Case {
        const char* label;
        std::uint64_t size;
        std::vector<std::vector<std::uint8_t>> blocks;
    };
    const Case cases[] = {
        {"grew by almost a block", BlockSize + 1, {full, full}},
        {"shrank within its last block", 2 * BlockSize, {full, tail}},
        {"shrank to nothing", 10, {{}}},
    };
    for (const Case& c : cases) {
        PayloadBuilder builder(CipherRc4, u"p");
        PayloadBuilder::FileFields fields;
        fields.name = u"f";
        fields.size = c.size;
        fields.blockCount = c.blocks.size();
        builder.FileRecord(fields);
        std::uint64_t total = 0;
        for (const auto& block : c.blocks) {
            builder.Block(Crc32Of(block), Deflate(block, 6));
            total += block.size();
        }
        TempDir dir;
        RecordingObserver observer;
        EXPECT_EQ(ExtractPayload(builder.Bytes(), u"p", dir.Path(), observer), ExtractResult::Done) << c.label;
        EXPECT_EQ(fs::file_size(dir / "f"), total) << c.label;
    }
}

TEST(ExtractionEngine, DamagedBlockOfASkippedFileIsStillFound)
{
    TempDir dir;
    WriteFile(dir / "keep.txt", "old");
    const auto data = Bytes("block data");
    PayloadBuilder builder(CipherAes256, u"p");
    PayloadBuilder::FileFields fields;
    fields.name = u"keep.txt";
    fields.size = data.size();
    fields.blockCount = 1;
    builder.FileRecord(fields).Block(Crc32Of(data) ^ 0x100, Deflate(data, 6)).File(u"after", Bytes("x"));
    RecordingObserver observer;
    EXPECT_EQ(ExtractPayload(builder.Bytes(), u"p", dir.Path(), observer), ExtractResult::Corrupted);
    EXPECT_EQ(ReadText(dir / "keep.txt"), "old");
    EXPECT_EQ(ListTree(dir.Path()), std::vector<std::string>{"keep.txt"});
}

TEST(ExtractionEngine, ExistingEntriesWhereADirectoryIsEntered)
{
    TempDir dir;
    fs::create_directory(dir / "folder");
    WriteFile(dir / "folder/mine.txt", "mine");
    WriteFile(dir / "plain", "a file");
    PayloadBuilder builder(CipherAes256, u"p");
    builder.EnterDir(u"folder").File(u"theirs.txt", Bytes("theirs")).LeaveDir().EnterDir(u"plain").LeaveDir();
    RecordingObserver observer;
    EXPECT_EQ(ExtractPayload(builder.Bytes(), u"p", dir.Path(), observer), ExtractResult::OutputDirError);
    EXPECT_EQ(ReadText(dir / "folder/mine.txt"), "mine");
    EXPECT_EQ(ReadText(dir / "folder/theirs.txt"), "theirs");
    EXPECT_EQ(ReadText(dir / "plain"), "a file");
}

TEST(ExtractionEngine, TestAndListModesWriteNothing)
{
    const auto data = Bytes("checked");
    PayloadBuilder good(CipherBlowfish, u"p");
    good.EnterDir(u"d").File(u"f", data).LeaveDir();
    PayloadBuilder damaged(CipherBlowfish, u"p");
    PayloadBuilder::FileFields fields;
    fields.name = u"f";
    fields.size = data.size();
    fields.blockCount = 1;
    damaged.FileRecord(fields).Block(Crc32Of(data), Bytes("not a zlib stream"));

    struct Case {
        const char* label;
        const PayloadBuilder* payload;
        ExtractMode mode;
        ExtractResult expected;
        std::size_t blocks;
    };
    const Case cases[] = {
        {"test, good", &good, ExtractMode::Test, ExtractResult::Done, 1},
        {"test, damaged stream", &damaged, ExtractMode::Test, ExtractResult::Corrupted, 0},
        {"list, good", &good, ExtractMode::List, ExtractResult::Done, 0},
        {"list skips the stream", &damaged, ExtractMode::List, ExtractResult::Done, 0},
    };
    for (const Case& c : cases) {
        TempDir dir;
        RecordingObserver observer;
        EXPECT_EQ(ExtractPayload(c.payload->Bytes(), u"p", dir / "not-there", observer, c.mode), c.expected)
            << c.label;
        EXPECT_EQ(observer.blocks, c.blocks) << c.label;
        EXPECT_TRUE(ListTree(dir.Path()).empty()) << c.label;
    }
}

TEST(ExtractionEngine, ObserverThatThrowsStopsTheRunAndRemovesTheUnfinishedFile)
{
    const auto data = TextBytes(2 * BlockSize, 4);
    PayloadBuilder builder(CipherAes256, u"p");
    builder.File(u"big", data);
    TempDir dir;
    RecordingObserver observer;
    struct Stop {};
    // Checkpoints: record, block 1, block 2.
    observer.onCheckpoint = [&] {
        if (observer.checkpoints == 3)
            throw Stop{};
    };
    EXPECT_THROW(ExtractPayload(builder.Bytes(), u"p", dir.Path(), observer), Stop);
    EXPECT_TRUE(ListTree(dir.Path()).empty());
    EXPECT_EQ(observer.removed, std::vector<std::string>{"big"});
}

} // namespace
