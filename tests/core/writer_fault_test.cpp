// The file system changing under the writer while it archives, and an
// archive that cannot take a byte: each call ends with its documented code
// and IQ_SDAFinal leaves no descriptor behind.

#include "archive_reader.h"
#include "test_support.h"
#include "writer_session.h"

#include "core/sda_context.h"
#include "crypto/cipher.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// "name" first: the entry the test acts on when the writer reaches `event`.
struct ChangeCase {
    const char* what;
    const char* event;             // the callback event that triggers the change
    void (*change)(const std::string& path);
    std::int32_t skipAnswer;
    CoreResult expected;
    const char* recorded;          // data.bin in the archive's outline; empty: left out
    // Whether the walk may read ahead: when it does, the change may come
    // after data.bin was opened and read, so only the serial walk shows
    // the moment-bound answers.
    bool readAhead;
};

void Vanish(const std::string& path)
{
    ASSERT_EQ(::unlink(path.c_str()), 0);
}

void Shrink(const std::string& path)
{
    ASSERT_EQ(::truncate(path.c_str(), 100), 0);
}

} // namespace

// An input file that disappears after its attributes were read, or shrinks
// after its first block was written, with and without the walk reading
// ahead. The tree: box/{keep.txt, data.bin}.
TEST(WriterFaults, InputFileChangesWhileItIsArchived)
{
    const ChangeCase cases[] = {
        {"vanishes before it is opened, stop", "range:3", &Vanish, 0, IQ_INPUT_FILE_ERROR, "", false},
        {"vanishes before it is opened, skip", "range:3", &Vanish, 1, IQ_OK, "", false},
        // The record keeps the size it was given, the blocks what is left.
        {"shrinks after its first block", "step", &Shrink, 0, IQ_OK, " data.bin/2097252", false},
        {"shrinks after its first block, read ahead", "step", &Shrink, 0, IQ_OK, " data.bin/2097252", true},
    };
    for (const ChangeCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string box = dir / "box";
        MakeDir(box);
        WriteFile(box + "/keep.txt", std::string("keep"));
        const std::vector<std::uint8_t> data = SampleBytes(2 * BlockSize + 100, 5);
        WriteFile(box + "/data.bin", data);
        std::string expected = "+box";
        for (const std::string& name : ListingOrder(box))
            expected += name == "keep.txt" ? std::string(" keep.txt/4") : std::string(c.recorded);
        expected += " -";

        CallbackLog log;
        log.skipAnswer = c.skipAnswer;
        bool changed = false;
        log.onEvent = [&](const std::string& event) {
            if (!changed && event == c.event && log.Count("name:data.bin") == 1) {
                changed = true;
                c.change(box + "/data.bin");
            }
        };
        const std::size_t descriptors = OpenDescriptorCount();
        WriterSession session(dir / "archive.run");
        ASSERT_EQ(session.Init(CipherRc5), IQ_OK);
        session.Context()->parallel = c.readAhead;
        EXPECT_EQ(session.AddDir(box), c.expected);
        EXPECT_TRUE(changed);
        session.Final();
        EXPECT_EQ(OpenDescriptorCount(), descriptors);
        if (c.expected != IQ_OK)
            continue;

        const ParsedArchive archive = session.Read();
        EXPECT_EQ(Outline(archive), expected);
        if (std::string(c.event) == "step") {
            const ArchiveRecord& record = archive.Find(u"data.bin");
            EXPECT_EQ(record.blockCount, 3U);
            // The writer reads and compresses ahead while it writes, so blocks
            // after the first may have been read before the first step was
            // reported; once one comes back empty, all later ones are empty.
            const std::vector<std::uint32_t> whole{BlockSize, BlockSize, 100};
            ASSERT_EQ(record.blockLengths.size(), 3U);
            EXPECT_EQ(record.blockLengths[0], BlockSize);
            for (std::size_t k = 1; k < 3; ++k)
                EXPECT_TRUE(record.blockLengths[k] == whole[k] || record.blockLengths[k] == 0) << "block " << k;
            if (record.blockLengths[1] == 0) {
                EXPECT_EQ(record.blockLengths[2], 0U);
            }
            EXPECT_TRUE(std::equal(record.data.begin(), record.data.end(), data.begin()));
        }
    }
}

// A folder whose permissions are taken away just as the walk reaches it:
// the skip question decides, and the parent's walk goes on after a skip.
TEST(WriterFaults, DirectoryBecomesUnreadableInMidWalk)
{
    for (const std::int32_t skip : {0, 1}) {
        SCOPED_TRACE(skip);
        TempDir dir;
        const std::string root = dir / "root";
        RunUnprivileged([&] {
            // Created by the user the walk runs as, who may take the rights away.
            MakeDir(root);
            MakeDir(root + "/locked");
            WriteFile(root + "/locked/secret.txt", std::string("s"));
            WriteFile(root + "/open.txt", std::string("o"));
            CallbackLog log;
            log.skipAnswer = skip;
            log.onEvent = [&](const std::string& event) {
                if (event == "name:locked") {
                    ASSERT_EQ(::chmod((root + "/locked").c_str(), 0), 0);
                }
            };
            const std::size_t descriptors = OpenDescriptorCount();
            WriterSession session(dir / "archive.run");
            ASSERT_EQ(session.Init(CipherAes256), IQ_OK);
            // A walk reading ahead may have listed the folder already.
            session.Context()->parallel = false;
            EXPECT_EQ(session.AddDir(root), skip != 0 ? IQ_OK : IQ_INPUT_DIR_ERROR);
            EXPECT_EQ(log.Count("skip:locked"), 1U);
            session.Final();
            EXPECT_EQ(OpenDescriptorCount(), descriptors);
            if (skip != 0) {
                EXPECT_EQ(Outline(session.Read()), "+root open.txt/1 -");
            }
            ::chmod((root + "/locked").c_str(), 0755);
        });
    }
}

// A device that takes no byte: the help length is the first write.
TEST(WriterFaults, ArchiveOnDevFull)
{
    const std::size_t descriptors = OpenDescriptorCount();
    SdaContext* context = nullptr;
    EXPECT_EQ(IQ_SDAInit(&context, u"/dev/full", u"pass", nullptr, CipherRc4, nullptr, nullptr, nullptr, nullptr,
                         nullptr),
              IQ_ARCHIVE_ERROR);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(IQ_SDAAddFile(context, u"/etc/hostname", 6), IQ_ARCHIVE_ERROR);
    IQ_SDAFinal(context);
    EXPECT_EQ(OpenDescriptorCount(), descriptors);
}
