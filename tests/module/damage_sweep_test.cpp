// Real archives of every cipher, damaged at every byte: cut short at each
// offset, and each byte XOR 0x01. The engine runs in-process on memory;
// every run goes into a fresh destination inside a sandbox that must hold
// nothing else afterwards.

#include "archive_reader.h"
#include "sweep_support.h"
#include "test_support.h"
#include "writer_session.h"

#include "core/archive_format.h"
#include "module/extraction_engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

constexpr char16_t Passphrase[] = u"sweep";
constexpr char16_t Help[] = u"Ask for it.";
const SweepKey Key{Passphrase, u""};

// A few files, two folders, one file of two blocks; written by the library.
struct SweepArchive {
    std::vector<std::uint8_t> payload;
    // Offsets at which a complete top-level entry (or the header) ends: an
    // end anywhere inside a folder is a cut.
    std::set<std::size_t> recordEnds;
    // Bytes that by design never reach the files: the plain help text, the
    // reserved header bytes, the IV bytes the cipher ignores.
    std::set<std::size_t> inert;
    // The bytes of the zlib streams. A bit of one may leave the inflated
    // data as it was: the Adler-32 trailer (the block CRC decides) and
    // redundant deflate bits (such as the code length of an unused symbol),
    // which RC4, flipping that one bit only, can reach.
    std::set<std::size_t> zlib;
    Tree original;
};

SweepArchive MakeSweepArchive(std::uint32_t cipher, const TempDir& dir)
{
    const std::string source = dir / ("src" + std::to_string(cipher));
    MakeSweepTree(source, cipher);

    WriterSession session(dir / ("archive" + std::to_string(cipher)));
    EXPECT_EQ(session.Init(cipher, Passphrase, Help), IQ_OK);
    EXPECT_EQ(session.AddDir(source + "/alpha", 9), IQ_OK);
    EXPECT_EQ(session.AddFile(source + "/three.txt", 9), IQ_OK);
    session.Final();

    SweepArchive archive;
    archive.payload = session.Payload();
    const ParsedArchive parsed = ReadArchive(archive.payload, Passphrase);
    const std::size_t helpUnits = parsed.help.size();
    const std::size_t header = 2 + 2 * helpUnits;
    for (std::size_t i = 2; i < header; ++i)
        archive.inert.insert(i);
    for (std::size_t i = 33; i < 36; ++i)
        archive.inert.insert(header + i);
    const std::size_t ignoredIv = cipher == CipherAes256 ? 0 : cipher == CipherBlowfish ? 8 : HeaderIvLength;
    for (std::size_t i = ignoredIv; i < HeaderIvLength; ++i)
        archive.inert.insert(header + HeaderIvOffset + i);

    std::size_t position = header + CipherHeaderSize;
    archive.recordEnds.insert(position);
    std::size_t depth = 0;
    for (const ArchiveRecord& record : parsed.records) {
        const std::size_t name = 2 * record.name.size();
        switch (record.type) {
        case RecordType::DirEnter:
            position += 15 + name;
            ++depth;
            break;
        case RecordType::DirLeave:
            position += 1;
            --depth;
            break;
        case RecordType::File:
            position += 43 + name;
            for (const std::uint32_t packed : record.packedLengths) {
                for (std::size_t i = position + 8; i < position + 8 + packed; ++i)
                    archive.zlib.insert(i);
                position += 8 + packed;
            }
            break;
        }
        if (depth == 0)
            archive.recordEnds.insert(position);
    }
    EXPECT_EQ(position, archive.payload.size());
    return archive;
}

const char* const CipherNames[] = {"AES-256", "CAST-256", "Blowfish", "RC4", "RC5"};
const char* const TestNames[] = {"Aes256", "Cast256", "Blowfish", "Rc4", "Rc5"};

class DamageSweep : public ::testing::TestWithParam<std::uint32_t> {
protected:
    void SetUp() override
    {
        archive_ = MakeSweepArchive(GetParam(), dir_);
        sandbox_ = dir_ / "sandbox";
        MakeDir(sandbox_);
        ASSERT_EQ(ExtractInto(archive_.payload, LoadLe16(archive_.payload.data()), sandbox_, Key),
                  ExtractResult::Done);
        archive_.original = ReadTree(sandbox_ + "/dest");
        ASSERT_EQ(archive_.original.size(), 6U); // two folders, four files
    }

    TempDir dir_;
    SweepArchive archive_;
    std::string sandbox_;
};

// Done exactly where a complete top-level entry ends, "Can not open archive!"
// anywhere else, from the empty payload up to one byte short.
TEST_P(DamageSweep, TruncatedAtEveryOffset)
{
    const std::uint16_t helpLength = LoadLe16(archive_.payload.data());
    std::size_t done = 0;
    for (std::size_t length = 0; length < archive_.payload.size(); ++length) {
        const std::vector<std::uint8_t> cut(archive_.payload.begin(),
                                            archive_.payload.begin() + static_cast<std::ptrdiff_t>(length));
        const ExtractResult expected =
            archive_.recordEnds.count(length) != 0 ? ExtractResult::Done : ExtractResult::ArchiveError;
        ASSERT_EQ(ExtractInto(cut, helpLength, sandbox_, Key), expected) << "cut at " << length;
        ExpectOnlyWholeFiles(sandbox_ + "/dest", archive_.original, length);
        done += expected == ExtractResult::Done ? 1 : 0;
    }
    std::printf("[ sweep    ] %s: %zu cuts, %zu at top-level entry ends (Done), %zu refused with 4\n",
                CipherNames[GetParam()], archive_.payload.size(), done, archive_.payload.size() - done);
}

// Refused as a wrong key (7), as damage (8) or as a short archive (4);
// bytes without influence on the files by design always extract the
// original; otherwise only a byte inside a zlib stream may, and never
// anything but the original.
TEST_P(DamageSweep, EveryByteFlipped)
{
    std::map<ExtractResult, std::size_t> refused;
    std::size_t inertOriginal = 0;
    std::size_t zlibOriginal = 0;
    for (std::size_t offset = 0; offset < archive_.payload.size(); ++offset) {
        std::vector<std::uint8_t> flipped = archive_.payload;
        flipped[offset] ^= 0x01;
        // The module reads the help length from the archive as it is.
        const ExtractResult result = ExtractInto(flipped, LoadLe16(flipped.data()), sandbox_, Key);
        const bool inert = archive_.inert.count(offset) != 0;
        const bool zlib = archive_.zlib.count(offset) != 0;
        if (inert || (zlib && result == ExtractResult::Done)) {
            ASSERT_EQ(result, ExtractResult::Done) << "inert byte " << offset;
            ASSERT_EQ(ReadTree(sandbox_ + "/dest"), archive_.original) << "byte " << offset;
            ++(inert ? inertOriginal : zlibOriginal);
            continue;
        }
        ASSERT_TRUE(result == ExtractResult::WrongKey || result == ExtractResult::Corrupted ||
                    result == ExtractResult::ArchiveError)
            << "byte " << offset << " gave " << static_cast<int>(result);
        ExpectOnlyWholeFiles(sandbox_ + "/dest", archive_.original, offset);
        ++refused[result];
    }
    std::printf("[ sweep    ] %s: %zu bytes flipped: %zu wrong key (7), %zu corrupted (8), %zu short (4), "
                "%zu inert by design extract the original, %zu of %zu zlib stream bytes extract the "
                "original (the inflated data is unchanged)\n",
                CipherNames[GetParam()], archive_.payload.size(), refused[ExtractResult::WrongKey],
                refused[ExtractResult::Corrupted], refused[ExtractResult::ArchiveError], inertOriginal,
                zlibOriginal, archive_.zlib.size());
    EXPECT_EQ(inertOriginal, archive_.inert.size());
}

INSTANTIATE_TEST_SUITE_P(EveryCipher, DamageSweep, ::testing::Values(0U, 1U, 2U, 3U, 4U),
                         [](const auto& info) { return std::string(TestNames[info.param]); });

} // namespace
