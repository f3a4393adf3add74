// Faults below the engine and the writer, made real rather than mocked: a
// file-size limit or a full tmpfs under the destination, and a keyfile
// server that drops the connection in mid-transfer.

#include "ivqa.h"
#include "keyfile_server.h"
#include "module_test_support.h"
#include "payload_builder.h"

#include "core/archive_format.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int ChildSkipped = 77;

// Runs `body` in a forked child; its result is the child's exit status.
int InChild(const std::function<int()>& body)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(body());
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::size_t OpenDescriptors()
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// small.txt (300 KiB), then big.bin (2 MiB): the first fits anywhere.
std::vector<std::uint8_t> TwoFilePayload()
{
    PayloadBuilder builder(CipherCast256, u"p");
    builder.File(u"small.txt", TextBytes(300 * 1024, 1)).File(u"big.bin", NoiseBytes(2 * BlockSize, 2));
    return builder.Bytes();
}

} // namespace

// The disk fills up in mid-file. With a file-size limit the free-space
// check passes and the write fails: "Can not create output file!", and the
// unfinished file is removed. On a full tmpfs the check itself refuses the
// file that no longer fits.
TEST(DiskFull, DuringExtraction)
{
    const auto payload = TwoFilePayload();
    struct Case {
        const char* what;
        bool tmpfs;
        ExtractResult expected;
        std::uintmax_t bigSize; // the size of big.bin; 0: not there
    };
    const Case cases[] = {
        {"file-size limit of 1 MiB", false, ExtractResult::OutputFileError, 0},
        {"tmpfs of 1 MiB", true, ExtractResult::NoDiskSpace, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string destination = dir / "dest";
        fs::create_directory(destination);
        const int status = InChild([&] {
            if (c.tmpfs) {
                if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                    mount("tmpfs", destination.c_str(), "tmpfs", 0, "size=1m") != 0)
                    return ChildSkipped;
            } else {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{BlockSize, BlockSize};
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            RecordingObserver observer;
            const ExtractResult result = ExtractPayload(payload, u"p", destination, observer);
            int failures = result == c.expected ? 0 : 1;
            failures |= fs::file_size(destination + "/small.txt") == 300 * 1024 ? 0 : 2;
            const bool big = fs::exists(destination + "/big.bin");
            failures |= big == (c.bigSize != 0) ? 0 : 4;
            failures |= !big || fs::file_size(destination + "/big.bin") == c.bigSize ? 0 : 8;
            failures |= ListTree(destination).size() == (big ? 2 : 1) ? 0 : 16;
            return failures;
        });
        if (status == ChildSkipped) {
            std::printf("[ skipped  ] %s: no tmpfs can be mounted here\n", c.what);
            continue;
        }
        EXPECT_EQ(status, 0) << "bit mask: 1 result, 2 small.txt, 4 big.bin present, 8 big.bin size, 16 other entries";
    }
}

// The server announces 10,000 bytes and closes after 3,000: the library
// cannot open the keyfile (2), the engine cannot read it (3), and neither
// keeps a descriptor.
TEST(KeyfileServerDrops, InMidTransfer)
{
    const std::vector<std::uint8_t> keyfile = NoiseBytes(10000, 9);
    KeyfileServer server(keyfile, 3000);
    const std::u16string url = U16(server.Url("/key.bin"));
    TempDir dir;

    const std::size_t descriptors = OpenDescriptors();
    const std::string archive = dir / "archive.run";
    WriteFile(archive, std::vector<std::uint8_t>{});
    SdaContext* context = nullptr;
    EXPECT_EQ(IQ_SDAInit(&context, U16(archive).c_str(), u"p", url.c_str(), CipherRc4, nullptr, nullptr, nullptr,
                         nullptr, nullptr),
              IQ_KEYFILE_ERROR);
    IQ_SDAFinal(context);
    EXPECT_EQ(OpenDescriptors(), descriptors);

    // The archive itself was written with the whole keyfile.
    const std::string local = dir / "key.bin";
    WriteFile(local, keyfile);
    PayloadBuilder builder(CipherRc4, u"p", u"", U16("file://" + local));
    builder.File(u"f.txt", TextBytes(100, 3));
    RecordingObserver observer;
    EXPECT_EQ(ExtractPayload(builder.Bytes(), u"p", dir.Path(), observer, ExtractMode::Extract, nullptr, url),
              ExtractResult::KeyfileError);
    EXPECT_FALSE(fs::exists(dir / "f.txt"));
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(server.Requests(), 2);
}
