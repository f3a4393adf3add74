// Archives of the authenticated cipher, written by the library and read by
// the engine in-process: round trips, every byte flipped, cuts at every
// message boundary, a changed help text, a stream rearranged, and headers
// that ask for more than a reader gives. The archives use the floor cost of
// the key derivation, so that a run costs milliseconds; one round trip uses
// the default cost.

#include "sweep_support.h"
#include "test_support.h"
#include "writer_session.h"

#include "core/archive_format.h"
#include "core/sealed_key.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>

namespace {

constexpr char16_t Passphrase[] = u"sealed";
constexpr char16_t Help[] = u"Call me for the passphrase.";

struct FloorCost : ::testing::Environment {
    void SetUp() override { ::setenv("IVQA_KDF_COST", "floor", 1); }
};
const auto* const floorCost = ::testing::AddGlobalTestEnvironment(new FloorCost);

// Where each part of a payload lies: the help block, the header, and the
// message after which each boundary falls.
struct SealedLayout {
    std::size_t headerStart = 0;
    std::size_t messagesStart = 0;
    std::vector<std::size_t> boundaries; // after the header and after each message
};

SealedLayout ParseLayout(const std::vector<std::uint8_t>& payload)
{
    SealedLayout layout;
    layout.headerStart = 2 + 2 * std::size_t{LoadLe16(payload.data())};
    layout.messagesStart = layout.headerStart + SealedHeaderSize;
    std::size_t position = layout.messagesStart;
    layout.boundaries.push_back(position);
    while (position + SealedMessageLengthSize <= payload.size()) {
        position += SealedMessageLengthSize + LoadLe32(payload.data() + position);
        layout.boundaries.push_back(position);
    }
    EXPECT_EQ(position, payload.size());
    return layout;
}

class SealedArchive : public ::testing::Test {
protected:
    // The sweep tree, and at the top a file of noise when asked for.
    std::vector<std::uint8_t> Write(const SweepKey& key, const char16_t* help, std::size_t bigFile = 0)
    {
        const std::string source = dir_ / "src";
        std::filesystem::remove_all(source);
        MakeSweepTree(source, 1);
        if (bigFile > 0) {
            std::vector<std::uint8_t> noise(bigFile);
            std::mt19937 random(7);
            for (auto& byte : noise)
                byte = static_cast<std::uint8_t>(random());
            WriteFile(source + "/noise.bin", noise);
        }

        WriterSession session(dir_ / "archive");
        EXPECT_EQ(session.Init(CipherXChaCha20Poly1305, key.passphrase.empty() ? nullptr : key.passphrase.c_str(),
                               help, key.keyfile.empty() ? nullptr : key.keyfile.c_str()),
                  IQ_OK);
        EXPECT_EQ(session.AddDir(source + "/alpha", 9), IQ_OK);
        EXPECT_EQ(session.AddFile(source + "/three.txt", 9), IQ_OK);
        if (bigFile > 0) {
            EXPECT_EQ(session.AddFile(source + "/noise.bin", 1), IQ_OK);
        }
        session.Final();
        original_ = ReadTree(source);
        return session.Payload();
    }

    ExtractResult Extract(const std::vector<std::uint8_t>& payload, const SweepKey& key = {Passphrase, u""})
    {
        return ExtractInto(payload, LoadLe16(payload.data()), sandbox_, key);
    }

    void SetUp() override { MakeDir(sandbox_); }

    TempDir dir_;
    std::string sandbox_ = dir_ / "sandbox";
    Tree original_;
};

TEST_F(SealedArchive, RoundTripsWithEveryKeyInput)
{
    const std::string keyfile = dir_ / "key.bin";
    WriteFile(keyfile, SampleBytes(3000, 9));
    const struct {
        const char* name;
        SweepKey key;
        const char16_t* help;
    } cases[] = {
        {"passphrase", {Passphrase, u""}, nullptr},
        {"keyfile", {u"", U16(keyfile)}, Help},
        {"both", {Passphrase, U16("file://" + keyfile)}, Help},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::uint8_t> payload = Write(c.key, c.help);
        EXPECT_EQ(payload[2 + 2 * std::size_t{LoadLe16(payload.data())}], CipherXChaCha20Poly1305);
        ASSERT_EQ(Extract(payload, c.key), ExtractResult::Done);
        EXPECT_EQ(ReadTree(sandbox_ + "/dest"), original_);

        // Each key input alone, or another one, is a wrong key, never damage.
        const SweepKey wrong[] = {{u"other", c.key.keyfile}, {c.key.passphrase, U16(dir_ / "src/three.txt")}};
        for (const SweepKey& key : wrong)
            EXPECT_EQ(Extract(payload, key), ExtractResult::WrongKey);
        EXPECT_TRUE(ReadTree(sandbox_ + "/dest").empty());
    }
}

TEST_F(SealedArchive, DefaultCostRoundTrip)
{
    ::unsetenv("IVQA_KDF_COST");
    const std::vector<std::uint8_t> payload = Write({Passphrase, u""}, Help);
    ::setenv("IVQA_KDF_COST", "floor", 1);
    const std::size_t header = 2 + 2 * std::size_t{LoadLe16(payload.data())};
    const SealedCost cost = LoadSealedCost(payload.data() + header);
    EXPECT_EQ(cost.passes, SealedCostDefault.passes);
    EXPECT_EQ(cost.memoryKiB, SealedCostDefault.memoryKiB);
    ASSERT_EQ(Extract(payload), ExtractResult::Done);
    EXPECT_EQ(ReadTree(sandbox_ + "/dest"), original_);
}

// Every byte after the help length flipped in turn: the header's cost, salt
// or key check give a wrong key or are refused, the help text is damage
// found once the key is derived, and a message that fails is damage (or a
// cut, when its length field grew); never Done, and no file but whole ones.
TEST_F(SealedArchive, EveryByteFlipped)
{
    const std::vector<std::uint8_t> payload = Write({Passphrase, u""}, Help);
    const SealedLayout layout = ParseLayout(payload);
    std::map<ExtractResult, std::size_t> seen;
    for (std::size_t offset = 2; offset < payload.size(); ++offset) {
        std::vector<std::uint8_t> flipped = payload;
        flipped[offset] ^= 0x01;
        const ExtractResult result = Extract(flipped);
        std::set<ExtractResult> allowed{ExtractResult::Corrupted};
        if (offset >= layout.headerStart && offset < layout.messagesStart)
            allowed.insert(ExtractResult::WrongKey);
        if (offset >= layout.messagesStart)
            allowed.insert(ExtractResult::ArchiveError);
        ASSERT_TRUE(allowed.count(result) != 0) << "byte " << offset << " gave " << static_cast<int>(result);
        ExpectOnlyWholeFiles(sandbox_ + "/dest", original_, offset);
        ++seen[result];
    }
    std::printf("[ sweep    ] %zu bytes flipped: %zu wrong key (7), %zu corrupted (8), %zu short (4)\n",
                payload.size() - 2, seen[ExtractResult::WrongKey], seen[ExtractResult::Corrupted],
                seen[ExtractResult::ArchiveError]);
}

// A cut anywhere, also between top-level entries, lacks the final message.
TEST_F(SealedArchive, CutAtEveryMessageBoundaryAndElsewhere)
{
    const std::vector<std::uint8_t> payload = Write({Passphrase, u""}, Help);
    const SealedLayout layout = ParseLayout(payload);
    std::set<std::size_t> cuts(layout.boundaries.begin(), layout.boundaries.end() - 1);
    std::mt19937 random(26);
    std::uniform_int_distribution<std::size_t> anywhere(0, payload.size() - 1);
    while (cuts.size() < layout.boundaries.size() - 1 + 200)
        cuts.insert(anywhere(random));
    for (const std::size_t length : cuts) {
        const std::vector<std::uint8_t> cut(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(length));
        ASSERT_EQ(Extract(cut), ExtractResult::ArchiveError) << "cut at " << length;
        ExpectOnlyWholeFiles(sandbox_ + "/dest", original_, length);
    }
    ASSERT_EQ(Extract(payload), ExtractResult::Done);
}

// Whole messages moved, dropped or added stay authenticated one by one; the
// stream's order and end are what catches them.
TEST_F(SealedArchive, RearrangedStreamIsDamage)
{
    const std::vector<std::uint8_t> payload = Write({Passphrase, u""}, Help);
    const SealedLayout layout = ParseLayout(payload);
    const auto& b = layout.boundaries;
    ASSERT_GE(b.size(), 6U);
    const auto piece = [&](std::size_t from, std::size_t to) {
        return std::vector<std::uint8_t>(payload.begin() + static_cast<std::ptrdiff_t>(from),
                                         payload.begin() + static_cast<std::ptrdiff_t>(to));
    };
    const auto join = [](std::initializer_list<std::vector<std::uint8_t>> parts) {
        std::vector<std::uint8_t> joined;
        for (const auto& part : parts)
            joined.insert(joined.end(), part.begin(), part.end());
        return joined;
    };
    const std::size_t end = payload.size();
    const struct {
        const char* name;
        std::vector<std::uint8_t> payload;
    } cases[] = {
        {"a byte after the final message", join({payload, {0}})},
        {"the final message twice", join({payload, piece(b[b.size() - 2], end)})},
        {"a message dropped", join({piece(0, b[2]), piece(b[3], end)})},
        {"two messages swapped", join({piece(0, b[2]), piece(b[3], b[4]), piece(b[2], b[3]), piece(b[4], end)})},
        {"the first message repeated", join({piece(0, b[1]), piece(b[0], end)})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Extract(c.payload), ExtractResult::Corrupted) << c.name;
        ExpectOnlyWholeFiles(sandbox_ + "/dest", original_, 0);
    }
}

// The help text is shown before the key is known; changed, it is found as
// soon as the key is, and nothing is written. A wrong key still says so.
TEST_F(SealedArchive, ChangedHelpTextIsDamageOnceTheKeyIsKnown)
{
    std::vector<std::uint8_t> payload = Write({Passphrase, u""}, Help);
    payload[2] = 'K'; // "Call me" becomes "Kall me", same length
    EXPECT_EQ(Extract(payload), ExtractResult::Corrupted);
    EXPECT_TRUE(ReadTree(sandbox_ + "/dest").empty());
    EXPECT_EQ(Extract(payload, {u"guess", u""}), ExtractResult::WrongKey);
}

// A cost beyond the cap is refused before Argon2id asks for its memory: the
// 4 TiB one would end in "out of memory" and the endless one would not end.
TEST_F(SealedArchive, CostOutsideTheLimitsRefusedAtOnce)
{
    const std::vector<std::uint8_t> payload = Write({Passphrase, u""}, Help);
    const std::size_t header = ParseLayout(payload).headerStart;
    const SealedCost costs[] = {
        {0, SealedCostFloor.memoryKiB},
        {SealedCostCap.passes + 1, SealedCostFloor.memoryKiB},
        {0xFFFFFFFF, SealedCostFloor.memoryKiB},
        {SealedCostFloor.passes, SealedCostFloor.memoryKiB - 1},
        {SealedCostFloor.passes, SealedCostCap.memoryKiB + 1},
        {SealedCostFloor.passes, 0xFFFFFFFF},
    };
    for (const SealedCost cost : costs) {
        std::vector<std::uint8_t> changed = payload;
        StoreSealedCost(changed.data() + header, cost);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Extract(changed), ExtractResult::Corrupted) << cost.passes << " passes, " << cost.memoryKiB << " KiB";
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
}

// 2,000 random bytes of a 5 MB archive flipped one at a time.
TEST_F(SealedArchive, RandomBytesOfALargeArchiveFlipped)
{
    const std::vector<std::uint8_t> payload = Write({Passphrase, u""}, nullptr, 5000000);
    ASSERT_GT(payload.size(), 5000000U);
    std::mt19937 random(2026);
    std::uniform_int_distribution<std::size_t> anywhere(2, payload.size() - 1);
    std::vector<std::uint8_t> flipped = payload;
    for (int round = 0; round < 2000; ++round) {
        const std::size_t offset = anywhere(random);
        flipped[offset] ^= static_cast<std::uint8_t>(1U << (round % 8));
        const ExtractResult result = Extract(flipped);
        ASSERT_TRUE(result == ExtractResult::Corrupted || result == ExtractResult::ArchiveError ||
                    result == ExtractResult::WrongKey)
            << "byte " << offset << " gave " << static_cast<int>(result);
        ExpectOnlyWholeFiles(sandbox_ + "/dest", original_, offset);
        flipped[offset] = payload[offset];
    }
}

} // namespace
