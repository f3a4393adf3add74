// Hostile and damaged archives: every one ends with the right code and
// nothing is written outside the destination.

#include "core/archive_format.h"
#include "module_test_support.h"
#include "payload_builder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

using Build = std::function<void(PayloadBuilder&)>;

PayloadBuilder::FileFields NamedFile(const std::u16string& name)
{
    PayloadBuilder::FileFields fields;
    fields.name = name;
    return fields;
}

struct Refusal {
    const char* label;
    Build build;
    ExtractResult expected;
    // What the destination holds afterwards.
    std::vector<std::string> destination;
};

// The destination lies two levels down, so that an escape of one or two
// levels would show in the scratch folder.
class Refusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(Refusals, EndWithTheirCodeAndStayInside)
{
    const Refusal& refusal = GetParam();
    PayloadBuilder builder(CipherRc4, u"p");
    refusal.build(builder);

    TempDir scratch;
    const std::string destination = scratch / "a/out";
    fs::create_directories(destination);
    RecordingObserver observer;
    EXPECT_EQ(ExtractPayload(builder.Bytes(), u"p", destination, observer), refusal.expected);
    EXPECT_EQ(ListTree(destination), refusal.destination);
    std::vector<std::string> expectedScratch{"a/", "a/out/"};
    for (const std::string& entry : refusal.destination)
        expectedScratch.push_back("a/out/" + entry);
    std::sort(expectedScratch.begin(), expectedScratch.end());
    EXPECT_EQ(ListTree(scratch.Path()), expectedScratch);
}

const Refusal Cases[] = {
    {"file named ..", [](PayloadBuilder& b) { b.FileRecord(NamedFile(u"..")); }, ExtractResult::Corrupted, {}},
    {"file named .", [](PayloadBuilder& b) { b.FileRecord(NamedFile(u".")); }, ExtractResult::Corrupted, {}},
    {"file name with a slash", [](PayloadBuilder& b) { b.FileRecord(NamedFile(u"../escape")); },
     ExtractResult::Corrupted, {}},
    {"file name a/b", [](PayloadBuilder& b) { b.EnterDir(u"a").LeaveDir().FileRecord(NamedFile(u"a/b")); },
     ExtractResult::Corrupted, {"a/"}},
    {"empty file name", [](PayloadBuilder& b) { b.FileRecord(NamedFile(u"")); }, ExtractResult::Corrupted, {}},
    {"file name with a NUL", [](PayloadBuilder& b) { b.FileRecord(NamedFile(std::u16string(u"x\0y", 3))); },
     ExtractResult::Corrupted, {}},
    {"directory named ..", [](PayloadBuilder& b) { b.EnterDir(u"..").File(u"f", Bytes("x")); },
     ExtractResult::Corrupted, {}},
    {"directory name with a slash", [](PayloadBuilder& b) { b.EnterDir(u"../../up"); }, ExtractResult::Corrupted, {}},
    {"empty directory name", [](PayloadBuilder& b) { b.EnterDir(u""); }, ExtractResult::Corrupted, {}},
    {"leave record at the top",
     [](PayloadBuilder& b) { b.File(u"first", Bytes("1")).LeaveDir().File(u"up", Bytes("2")); },
     ExtractResult::Corrupted, {"first"}},
    {"one leave record too many",
     [](PayloadBuilder& b) { b.EnterDir(u"d").LeaveDir().LeaveDir().File(u"up", Bytes("2")); },
     ExtractResult::Corrupted, {"d/"}},
    {"record type 3", [](PayloadBuilder& b) { b.File(u"first", Bytes("1")).TypeByte(3); }, ExtractResult::Corrupted,
     {"first"}},
    {"record type 255", [](PayloadBuilder& b) { b.TypeByte(255); }, ExtractResult::Corrupted, {}},
    {"name length 261",
     [](PayloadBuilder& b) {
         auto fields = NamedFile(std::u16string(MaxNameUnits + 1, u'n'));
         b.FileRecord(fields);
     },
     ExtractResult::Corrupted, {}},
    {"directory name length 261", [](PayloadBuilder& b) { b.DirRecord(std::u16string(MaxNameUnits + 1, u'n'), false); },
     ExtractResult::Corrupted, {}},
    {"packed length above the bound",
     [](PayloadBuilder& b) {
         auto fields = NamedFile(u"big");
         fields.size = 10;
         fields.blockCount = 1;
         b.FileRecord(fields).Block(0, MaxPackedBlock + 1, std::vector<std::uint8_t>(64, 0));
     },
     ExtractResult::Corrupted, {}},
    {"file record CRC",
     [](PayloadBuilder& b) {
         auto fields = NamedFile(u"f");
         fields.badCrc = true;
         b.FileRecord(fields);
     },
     ExtractResult::Corrupted, {}},
    {"directory record CRC", [](PayloadBuilder& b) { b.DirRecord(u"d", true); }, ExtractResult::Corrupted, {}},
    {"block CRC",
     [](PayloadBuilder& b) {
         const auto data = Bytes("contents");
         auto fields = NamedFile(u"f");
         fields.size = data.size();
         fields.blockCount = 1;
         b.FileRecord(fields).Block(Crc32Of(data) + 1, Deflate(data, 6));
     },
     ExtractResult::Corrupted, {}},
    {"stream that needs a dictionary",
     [](PayloadBuilder& b) {
         auto fields = NamedFile(u"f");
         fields.size = 1;
         fields.blockCount = 1;
         // zlib header with FDICT set, then a dictionary id.
         b.FileRecord(fields).Block(0, {0x78, 0xBB, 0, 0, 0, 1, 0x03, 0x00});
     },
     ExtractResult::Corrupted, {}},
    {"stream cut short",
     [](PayloadBuilder& b) {
         const auto data = TextBytes(4000, 5);
         auto packed = Deflate(data, 6);
         packed.resize(packed.size() / 2);
         auto fields = NamedFile(u"f");
         fields.size = data.size();
         fields.blockCount = 1;
         b.FileRecord(fields).Block(Crc32Of(data), packed);
     },
     ExtractResult::Corrupted, {}},
    // A record bounds what its file receives: exactly as many blocks as
    // its size needs, each inflating to one block at most.
    {"size 1 with three full blocks",
     [](PayloadBuilder& b) {
         const std::vector<std::uint8_t> zeros(BlockSize, 0);
         auto fields = NamedFile(u"f");
         fields.size = 1;
         fields.blockCount = 3;
         b.FileRecord(fields);
         for (int i = 0; i < 3; ++i)
             b.Block(Crc32Of(zeros), Deflate(zeros, 9));
     },
     ExtractResult::Corrupted, {}},
    {"size 1 with no block",
     [](PayloadBuilder& b) {
         auto fields = NamedFile(u"f");
         fields.size = 1;
         b.FileRecord(fields);
     },
     ExtractResult::Corrupted, {}},
    {"size of two blocks with one",
     [](PayloadBuilder& b) {
         const auto data = Bytes("x");
         auto fields = NamedFile(u"f");
         fields.size = 2 * BlockSize;
         fields.blockCount = 1;
         b.FileRecord(fields).Block(Crc32Of(data), Deflate(data, 6));
     },
     ExtractResult::Corrupted, {}},
    {"largest size with a wrapped block count",
     [](PayloadBuilder& b) {
         auto fields = NamedFile(u"f");
         fields.size = UINT64_MAX;
         fields.blockCount = 0;
         b.FileRecord(fields);
     },
     ExtractResult::Corrupted, {}},
    {"block that inflates beyond a block",
     [](PayloadBuilder& b) {
         const std::vector<std::uint8_t> zeros(BlockSize + 1, 0);
         const std::vector<std::uint8_t> first(BlockSize, 0);
         auto fields = NamedFile(u"f");
         fields.size = BlockSize;
         fields.blockCount = 1;
         b.FileRecord(fields).Block(Crc32Of(first), Deflate(zeros, 9));
     },
     ExtractResult::Corrupted, {}},
    {"empty packed block",
     [](PayloadBuilder& b) {
         auto fields = NamedFile(u"f");
         fields.size = 1;
         fields.blockCount = 1;
         b.FileRecord(fields).Block(0, {});
     },
     ExtractResult::Corrupted, {}},
};

INSTANTIATE_TEST_SUITE_P(HostileArchives, Refusals, ::testing::ValuesIn(Cases));

TEST(ExtractionRefusals, CipherIdAboveFourIsCorruption)
{
    for (std::uint8_t id : {5, 255}) {
        PayloadBuilder builder(CipherAes256, u"p");
        builder.File(u"f", Bytes("x"));
        builder.SetCipherIdByte(id);
        TempDir dir;
        RecordingObserver observer;
        EXPECT_EQ(ExtractPayload(builder.Bytes(), u"p", dir.Path(), observer), ExtractResult::Corrupted);
        EXPECT_TRUE(ListTree(dir.Path()).empty());
    }
}

// A cut right behind a complete top-level entry is the normal end (the
// format cannot tell it); anywhere else, inside a folder included, it is a
// failed read of the archive.
TEST(ExtractionRefusals, TruncatedArchives)
{
    const auto second = TextBytes(3000, 6);
    PayloadBuilder builder(CipherRc4, u"p");
    builder.EnterDir(u"d").File(u"first", Bytes("one"));
    const std::size_t afterFirst = builder.Size();
    PayloadBuilder::FileFields fields;
    fields.name = u"second";
    fields.size = second.size();
    fields.blockCount = 1;
    builder.FileRecord(fields);
    const std::size_t afterRecord = builder.Size();
    builder.Block(Crc32Of(second), Deflate(second, 6));
    const std::size_t afterBlock = builder.Size();
    builder.LeaveDir();

    struct Case {
        const char* label;
        std::size_t length;
        ExtractResult expected;
        std::vector<std::string> tree;
    };
    const Case cases[] = {
        {"after a complete file inside a folder", afterFirst, ExtractResult::ArchiveError, {"d/", "d/first"}},
        {"after a type byte", afterFirst + 1, ExtractResult::ArchiveError, {"d/", "d/first"}},
        {"inside a file record", afterFirst + 10, ExtractResult::ArchiveError, {"d/", "d/first"}},
        {"between a file record and its block", afterRecord, ExtractResult::ArchiveError, {"d/", "d/first"}},
        {"inside a block header", afterRecord + 6, ExtractResult::ArchiveError, {"d/", "d/first"}},
        {"inside a block", afterBlock - 1, ExtractResult::ArchiveError, {"d/", "d/first"}},
        {"after the last block, before the leave record", afterBlock, ExtractResult::ArchiveError,
         {"d/", "d/first", "d/second"}},
        {"after the leave record", builder.Size(), ExtractResult::Done, {"d/", "d/first", "d/second"}},
        {"inside the header", 2 + CipherHeaderSize - 1, ExtractResult::ArchiveError, {}},
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> cut(builder.Bytes().begin(),
                                            builder.Bytes().begin() + static_cast<std::ptrdiff_t>(c.length));
        TempDir dir;
        RecordingObserver observer;
        EXPECT_EQ(ExtractPayload(cut, u"p", dir.Path(), observer), c.expected) << c.label;
        EXPECT_EQ(ListTree(dir.Path()), c.tree) << c.label;
    }
}

// An existing link is never followed: not into a directory, not through a
// file name.
class ExistingLinks : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(scratch / "out");
        fs::create_directories(scratch / "outside");
        WriteFile(scratch / "outside/secret", "secret");
    }
    std::string Out() const { return scratch / "out"; }

    TempDir scratch;
};

TEST_F(ExistingLinks, DirectoryRecordOverALinkToAFolderOutside)
{
    ASSERT_EQ(::symlink((scratch / "outside").c_str(), (Out() + "/link").c_str()), 0);
    PayloadBuilder builder(CipherAes256, u"p");
    builder.EnterDir(u"link").File(u"planted", Bytes("x")).LeaveDir();
    RecordingObserver observer;
    EXPECT_EQ(ExtractPayload(builder.Bytes(), u"p", Out(), observer), ExtractResult::OutputDirError);
    EXPECT_EQ(ListTree(scratch / "outside"), std::vector<std::string>{"secret"});
}

TEST_F(ExistingLinks, FileRecordOverALink)
{
    struct Case {
        const char* label;
        std::string target;
        bool answer;
    };
    const Case cases[] = {
        {"link to a file, replaced", scratch / "outside/secret", true},
        {"link to a file, kept", scratch / "outside/secret", false},
        {"dangling link, replaced", scratch / "outside/nothing", true},
        {"dangling link, kept", scratch / "outside/nothing", false},
    };
    for (const Case& c : cases) {
        const std::string link = Out() + "/name";
        fs::remove(link);
        ASSERT_EQ(::symlink(c.target.c_str(), link.c_str()), 0);
        PayloadBuilder builder(CipherAes256, u"p");
        builder.File(u"name", Bytes("from the archive"));
        RecordingObserver observer;
        observer.overwriteAnswer = c.answer;
        EXPECT_EQ(ExtractPayload(builder.Bytes(), u"p", Out(), observer), ExtractResult::Done) << c.label;
        EXPECT_EQ(ListTree(scratch / "outside"), std::vector<std::string>{"secret"}) << c.label;
        EXPECT_EQ(ReadText(scratch / "outside/secret"), "secret") << c.label;
        EXPECT_EQ(fs::is_symlink(link), !c.answer) << c.label;
        if (c.answer) {
            EXPECT_EQ(ReadText(link), "from the archive") << c.label;
        }
    }
}

} // namespace
