// The payload the writer produces, read back by the tests' own reader.

#include "archive_reader.h"
#include "test_support.h"
#include "writer_session.h"

#include "core/sda_context.h"
#include "crypto/cipher.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>

namespace {

std::string DataPath(const std::string& name)
{
    const char* source = std::getenv("IVQA_SOURCE_DIR");
    return std::string(source != nullptr ? source : ".") + "/tests/core/data/" + name;
}

// The outline the writer must produce for a directory: its listing order,
// depth first.
std::string ExpectedOutline(const std::string& path, const std::string& name)
{
    std::string outline = "+" + name;
    for (const std::string& entry : ListingOrder(path)) {
        struct stat info {};
        const std::string full = path + "/" + entry;
        EXPECT_EQ(::lstat(full.c_str(), &info), 0);
        outline += " " + (S_ISDIR(info.st_mode) ? ExpectedOutline(full, entry)
                                                : entry + "/" + std::to_string(info.st_size));
    }
    return outline + " -";
}

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// 2023-11-14 22:13:20.1234567 UTC, as timespec and as FILETIME.
constexpr timespec FixedTime{1700000000, 123456700};
constexpr std::uint64_t FixedFiletime = 133444736001234567ULL;

// A small tree with every kind of entry: nesting, an empty directory, an
// empty, a read-only and a hidden file, and a file of several deflate
// windows.
struct SampleTree {
    explicit SampleTree(const TempDir& dir) : root(dir / "docs"), top(dir / "top.dat")
    {
        MakeDir(root);
        WriteFile(root + "/readme.txt", std::string(64, 'r'));
        const timespec times[2] = {FixedTime, FixedTime};
        EXPECT_EQ(::utimensat(AT_FDCWD, (root + "/readme.txt").c_str(), times, 0), 0);
        MakeDir(root + "/empty");
        MakeDir(root + "/deep");
        MakeDir(root + "/deep/inner");
        WriteFile(root + "/deep/inner/leaf.bin", SampleBytes(70000, 1));
        WriteFile(root + "/zero.bin", std::string());
        ::chmod((root + "/zero.bin").c_str(), 0444);
        WriteFile(root + "/.hidden", std::string("quiet"));
        std::vector<std::uint8_t> ramp(768);
        for (std::size_t i = 0; i < ramp.size(); ++i)
            ramp[i] = static_cast<std::uint8_t>(i);
        WriteFile(top, ramp);
    }

    std::string Outline() const { return ExpectedOutline(root, "docs") + " top.dat/768"; }

    std::string root;
    std::string top;
};

class CipherTest : public ::testing::TestWithParam<std::uint32_t> {};

INSTANTIATE_TEST_SUITE_P(AllCiphers, CipherTest, ::testing::Values(0U, 1U, 2U, 3U, 4U),
                         [](const auto& info) { return "Cipher" + std::to_string(info.param); });

} // namespace

TEST(ArchiveReader, ReadsTheSamplePayloads)
{
    for (const char* file : {"sample_payload_aes.bin", "sample_payload_rc4.bin"}) {
        SCOPED_TRACE(file);
        const ParsedArchive archive = ReadArchive(ReadFile(DataPath(file)), u"Sample pass");
        EXPECT_EQ(archive.help, u"Sample help\r\n");
        EXPECT_EQ(Outline(archive), "+docs readme.txt/64 +empty - zero.bin/0 - top.dat/768");
        std::string readme;
        for (int i = 0; i < 4; ++i)
            readme += "Hello, archive.\n";
        EXPECT_EQ(archive.Find(u"readme.txt").data, Bytes(readme));
        EXPECT_EQ(archive.Find(u"zero.bin").attributes, 0x21U);
        EXPECT_EQ(archive.Find(u"top.dat").lastWriteTime, 133444736000000000ULL);
        EXPECT_THROW(ReadArchive(ReadFile(DataPath(file)), u"Sample pasS"), ReadError);
    }
}

TEST_P(CipherTest, OneEmptyFileWithoutHelpIs87Bytes)
{
    TempDir dir;
    WriteFile(dir / "a", std::string());
    WriterSession session(dir / "archive.run");
    ASSERT_EQ(session.Init(GetParam(), u"pass", nullptr), IQ_OK);
    ASSERT_EQ(session.AddFile(dir / "a"), IQ_OK);

    const std::vector<std::uint8_t> payload = session.Payload();
    ASSERT_EQ(payload.size(), 87U);
    EXPECT_EQ(payload[0], 0);
    EXPECT_EQ(payload[1], 0);
    EXPECT_EQ(payload[2], GetParam());
    // The IV field beyond the cipher's IV, and the reserved bytes, are zero.
    for (std::size_t i = CipherIvLength(GetParam()); i < HeaderIvLength; ++i)
        EXPECT_EQ(payload[2 + HeaderIvOffset + i], 0) << "IV field byte " << i;
    for (std::size_t i = 33; i < 36; ++i)
        EXPECT_EQ(payload[2 + i], 0) << "reserved byte " << i;

    const ParsedArchive archive = ReadArchive(payload, u"pass");
    ASSERT_EQ(archive.records.size(), 1U);
    const ArchiveRecord& record = archive.records[0];
    EXPECT_EQ(record.type, RecordType::File);
    EXPECT_EQ(record.name, u"a");
    EXPECT_EQ(record.size, 0U);
    EXPECT_EQ(record.blockCount, 0U);
    EXPECT_EQ(record.attributes, 0x20U);
}

TEST_P(CipherTest, TreeRoundTripsInListingOrder)
{
    TempDir dir;
    const SampleTree tree(dir);
    WriterSession session(dir / "archive.run");
    ASSERT_EQ(session.Init(GetParam(), u"pass", u"Read me first\r\n"), IQ_OK);
    ASSERT_EQ(session.AddDir(tree.root), IQ_OK);
    ASSERT_EQ(session.AddFile(tree.top), IQ_OK);

    const ParsedArchive archive = session.Read();
    EXPECT_EQ(archive.help, u"Read me first\r\n");
    EXPECT_EQ(Outline(archive), tree.Outline());
    EXPECT_EQ(archive.Find(u"leaf.bin").data, SampleBytes(70000, 1));
    EXPECT_EQ(archive.Find(u"top.dat").data, ReadFile(tree.top));
    EXPECT_EQ(archive.Find(u"readme.txt").lastWriteTime, FixedFiletime);
    EXPECT_EQ(archive.Find(u"readme.txt").attributes, 0x20U);
    EXPECT_EQ(archive.Find(u"zero.bin").attributes, 0x21U);
    EXPECT_EQ(archive.Find(u".hidden").attributes, 0x22U);
    // An empty directory is an enter directly followed by a leave.
    EXPECT_NE(Outline(archive).find("+empty -"), std::string::npos);
}

TEST_P(CipherTest, OnlyRc4DependsOnThePiecesOfTheStream)
{
    TempDir dir;
    const SampleTree tree(dir);
    WriterSession session(dir / "archive.run");
    ASSERT_EQ(session.Init(GetParam()), IQ_OK);
    ASSERT_EQ(session.AddDir(tree.root), IQ_OK);

    const std::vector<std::uint8_t> payload = session.Payload();
    const std::vector<std::uint8_t> pieces = ReadArchive(payload, u"pass").plainStream;
    const std::vector<std::uint8_t> oneCall = DecryptStreamInOneCall(payload, u"pass");
    ASSERT_EQ(pieces.size(), oneCall.size());
    if (GetParam() != CipherRc4) {
        EXPECT_EQ(oneCall, pieces);
        return;
    }
    // The CheckValue is a piece of its own and agrees; after it the cut
    // differs and so does nearly every byte.
    EXPECT_TRUE(std::equal(pieces.begin(), pieces.begin() + 4, oneCall.begin()));
    std::size_t same = 0;
    for (std::size_t i = 4; i < pieces.size(); ++i)
        same += pieces[i] == oneCall[i];
    EXPECT_LT(same, (pieces.size() - 4) / 16);
}

TEST(WriterFormat, BlowfishReadsNoIvBytesBeyondTheEighth)
{
    TempDir dir;
    WriteFile(dir / "note.txt", std::string("blowfish"));
    WriterSession session(dir / "archive.run");
    ASSERT_EQ(session.Init(CipherBlowfish), IQ_OK);
    ASSERT_EQ(session.AddFile(dir / "note.txt"), IQ_OK);
    const std::vector<std::uint8_t> payload = session.Payload();
    const std::size_t ivAt = 2 + HeaderIvOffset;

    std::vector<std::uint8_t> changedTail = payload;
    for (std::size_t i = 8; i < 16; ++i)
        changedTail[ivAt + i] = static_cast<std::uint8_t>(0xA5 + i);
    EXPECT_EQ(ReadArchive(changedTail, u"pass").plainStream, ReadArchive(payload, u"pass").plainStream);

    std::vector<std::uint8_t> changedIv = payload;
    changedIv[ivAt + 7] ^= 1;
    EXPECT_THROW(ReadArchive(changedIv, u"pass"), ReadError);
}

TEST(WriterFormat, BlockCountFollowsTheSizeAndTheCallbacksFollowTheBlocks)
{
    struct Case {
        std::size_t size;
        std::vector<std::uint32_t> blockLengths;
    };
    const Case cases[] = {
        {0, {}},
        {1, {1}},
        {BlockSize, {BlockSize}},
        {BlockSize + 1, {BlockSize, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        TempDir dir;
        const std::vector<std::uint8_t> content = SampleBytes(c.size, 7);
        WriteFile(dir / "f", content);
        CallbackLog log;
        WriterSession session(dir / "archive.run");
        ASSERT_EQ(session.Init(CipherRc4), IQ_OK);
        ASSERT_EQ(session.AddFile(dir / "f", 1), IQ_OK);

        const ParsedArchive archive = session.Read();
        const ArchiveRecord& record = archive.Find(u"f");
        EXPECT_EQ(record.blockCount, c.blockLengths.size());
        EXPECT_EQ(record.blockLengths, c.blockLengths);
        EXPECT_EQ(record.data, content);
        std::vector<std::string> expected = {"name:" + (dir / "f"), "range:" + std::to_string(c.blockLengths.size())};
        expected.insert(expected.end(), c.blockLengths.size(), "step");
        EXPECT_EQ(log.events, expected);
    }
}

TEST(WriterFormat, FileChangingAfterItsQueryKeepsTheRecordedBlockCount)
{
    // RangeCallback runs between the attribute query and the first read.
    struct Case {
        const char* what;
        std::size_t resizeTo;
        std::vector<std::uint32_t> blockLengths;
    };
    const std::size_t queried = 2 * BlockSize + 5;
    const Case cases[] = {
        {"shrinks", 100, {100, 0, 0}},
        {"grows", 4 * BlockSize, {BlockSize, BlockSize, BlockSize}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir / "f";
        WriteFile(path, SampleBytes(queried, 3));
        CallbackLog log;
        log.onEvent = [&](const std::string& event) {
            if (event.rfind("range:", 0) == 0) {
                ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(c.resizeTo)), 0);
            }
        };
        WriterSession session(dir / "archive.run");
        ASSERT_EQ(session.Init(CipherAes256), IQ_OK);
        // On the caller's thread alone the lengths are exact; blocks read
        // on helpers are bounded as their own test shows.
        session.Context()->parallel = false;
        ASSERT_EQ(session.AddFile(path, 1), IQ_OK);
        const ArchiveRecord record = session.Read().Find(u"f");
        EXPECT_EQ(record.size, queried);
        EXPECT_EQ(record.blockLengths, c.blockLengths);
    }
}

TEST(WriterFormat, EachBlockIsOneZlibStreamAtTheEntrysLevel)
{
    // The reader inflates every block with zlib; the lengths show that each
    // entry's level reached the compressor.
    TempDir dir;
    const std::vector<std::uint8_t> content = SampleBytes(200000, 5);
    WriteFile(dir / "f", content);
    for (const int level : {0, 1, 6, 9}) {
        SCOPED_TRACE(level);
        WriterSession session(dir / "archive.run");
        ASSERT_EQ(session.Init(CipherRc5), IQ_OK);
        ASSERT_EQ(session.AddFile(dir / "f", level), IQ_OK);

        libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
        ASSERT_NE(compressor, nullptr);
        std::vector<std::uint8_t> expected(libdeflate_zlib_compress_bound(compressor, content.size()));
        const std::size_t expectedLength = libdeflate_zlib_compress(compressor, content.data(), content.size(),
                                                                    expected.data(), expected.size());
        libdeflate_free_compressor(compressor);
        const ArchiveRecord record = session.Read().Find(u"f");
        ASSERT_EQ(record.packedLengths.size(), 1U);
        EXPECT_EQ(record.packedLengths[0], expectedLength);
        if (level == 0) {
            EXPECT_GT(record.packedLengths[0], content.size());
        }
    }
}

TEST(WriterFormat, SecretInputsAllReachTheKey)
{
    TempDir dir;
    WriteFile(dir / "key.bin", SampleBytes(3000, 9));
    WriteFile(dir / "f", std::string("secret"));
    const std::u16string keyUrl = U16("file://" + (dir / "key.bin"));
    const std::u16string keyPath = U16(dir / "key.bin");
    struct Case {
        const char* what;
        const char16_t* passphrase;
        const char16_t* keyfile;
    };
    const Case cases[] = {
        {"passphrase only", u"pass", nullptr},
        {"keyfile URL only", nullptr, keyUrl.c_str()},
        {"passphrase and keyfile path", u"pass", keyPath.c_str()},
        {"neither: the salt alone", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriterSession session(dir / "archive.run");
        ASSERT_EQ(session.Init(CipherCast256, c.passphrase, nullptr, c.keyfile), IQ_OK);
        ASSERT_EQ(session.AddFile(dir / "f"), IQ_OK);
        EXPECT_EQ(session.Read(c.passphrase, c.keyfile).Find(u"f").data, Bytes("secret"));
        EXPECT_THROW(session.Read(u"other", c.keyfile), ReadError);
    }
}
