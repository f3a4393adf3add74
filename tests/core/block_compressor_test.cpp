// The streams of the block compressor: within the format's bound at every
// level, whatever the data, and readable by zlib the way the module reads
// them (one inflate call into a BlockSize buffer).

#include "core/archive_format.h"
#include "core/block_compressor.h"
#include "platform/secure_memory.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>
#include <zlib.h>

namespace {

std::vector<std::uint8_t> RandomBytes(std::size_t length)
{
    std::mt19937 generator(20240611);
    std::vector<std::uint8_t> bytes(length);
    for (std::uint8_t& byte : bytes)
        byte = static_cast<std::uint8_t>(generator());
    return bytes;
}

// The module's inflate: a fresh stream, one call, a BlockSize buffer.
std::vector<std::uint8_t> InflateLikeTheModule(const std::uint8_t* packed, std::size_t length)
{
    std::vector<std::uint8_t> plain(BlockSize);
    z_stream stream{};
    EXPECT_EQ(inflateInit(&stream), Z_OK);
    stream.next_in = const_cast<std::uint8_t*>(packed);
    stream.avail_in = static_cast<uInt>(length);
    stream.next_out = plain.data();
    stream.avail_out = static_cast<uInt>(plain.size());
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(stream.avail_in, 0U) << "bytes after the end of the stream";
    plain.resize(plain.size() - stream.avail_out);
    inflateEnd(&stream);
    return plain;
}

// Deflate block type of the first block: 0 stored, 1 fixed, 2 dynamic.
int FirstBlockType(const std::uint8_t* packed)
{
    return (packed[2] >> 1) & 3;
}

} // namespace

TEST(BlockCompressor, StreamsStayWithinTheBoundAtEveryLevel)
{
    // Random bytes do not compress: the stream is at its largest, and
    // libdeflate gives up on a buffer it would fill to the last bytes. With
    // the exact bound as its room, zlib has to finish such blocks.
    const std::vector<std::uint8_t> random = RandomBytes(BlockSize);
    std::vector<std::uint8_t> text(BlockSize);
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<std::uint8_t>("the block of the archive "[i % 25]);
    struct Input {
        const char* what;
        const std::vector<std::uint8_t>& bytes;
    };
    const Input inputs[] = {{"random", random}, {"text", text}};
    const std::size_t lengths[] = {0, 1, 100, 4095, 4096, 65535, 65536, 300000, BlockSize - 1, BlockSize};

    std::vector<std::uint8_t> packed(MaxPackedBlock + PackedSlack);
    z_stream* fallback = static_cast<z_stream*>(SecureAlloc(sizeof(z_stream)));
    ASSERT_NE(fallback, nullptr);
    for (int level = 0; level <= 9; ++level) {
        SCOPED_TRACE("level " + std::to_string(level));
        BlockCompressor compressor;
        ASSERT_TRUE(compressor.Prepare(level));
        for (const Input& input : inputs) {
            for (const std::size_t length : lengths) {
                for (const bool exactRoom : {false, true}) {
                    SCOPED_TRACE(std::string(input.what) + " " + std::to_string(length) +
                                 (exactRoom ? " in the exact bound" : ""));
                    const std::size_t room = exactRoom ? PackedCapacity(length) : packed.size();
                    std::uint32_t packedLength = 0;
                    ASSERT_EQ(compressor.Compress(input.bytes.data(), length, packed.data(), room, *fallback,
                                                  &packedLength),
                              IQ_OK);
                    EXPECT_LE(packedLength, PackedCapacity(length));
                    EXPECT_LE(packedLength, MaxPackedBlock);
                    const std::vector<std::uint8_t> plain = InflateLikeTheModule(packed.data(), packedLength);
                    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), input.bytes.begin(),
                                           input.bytes.begin() + static_cast<std::ptrdiff_t>(length)) &&
                                plain.size() == length);
                    if (level == 0) {
                        EXPECT_EQ(FirstBlockType(packed.data()), 0) << "level 0 stores";
                    }
                }
            }
        }
    }
    SecureFree(fallback, sizeof(z_stream));
}

TEST(BlockCompressor, FollowsTheLevelWhenItChangesBetweenBlocks)
{
    // Changing the level mid-archive gives the new level's stream, and
    // going back gives the old stream again.
    const std::vector<std::uint8_t> random = RandomBytes(BlockSize);
    std::vector<std::uint8_t> input(200000);
    for (std::size_t i = 0; i < input.size(); ++i)
        input[i] = static_cast<std::uint8_t>(i % 7 == 0 ? random[i] : 'a' + i % 5);
    std::vector<std::uint8_t> packed(MaxPackedBlock + PackedSlack);
    z_stream fallback{};
    BlockCompressor compressor;
    const auto compressedAt = [&](int level) {
        EXPECT_TRUE(compressor.Prepare(level));
        std::uint32_t length = 0;
        EXPECT_EQ(compressor.Compress(input.data(), input.size(), packed.data(), packed.size(), fallback, &length),
                  IQ_OK);
        return std::vector<std::uint8_t>(packed.begin(), packed.begin() + length);
    };
    const std::vector<std::uint8_t> first = compressedAt(1);
    const std::vector<std::uint8_t> stored = compressedAt(0);
    EXPECT_GT(stored.size(), input.size());
    EXPECT_LT(first.size(), input.size());
    EXPECT_EQ(compressedAt(1), first);
}
