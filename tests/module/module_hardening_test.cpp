// The real module under stress: a truncation sweep through its console
// mode, a disk that fills up under it, and what it does to keep secrets
// out of core dumps and other processes.

#include "ivqa.h"
#include "hardening_probe.h"
#include "module_test_support.h"
#include "payload_builder.h"
#include "process_runner.h"

#include "core/archive_format.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ModulePath()
{
    const char* bin = std::getenv("IVQA_BIN_DIR");
    return std::string(bin != nullptr ? bin : ".") + "/GUI_en.iqm";
}

// box/{a.txt, inner/{b.bin of `bigSize` bytes, empty}} and top.txt, behind a copy
// of the English module, written by the library.
std::string MakeArchive(const TempDir& dir, std::size_t bigSize)
{
    const std::string box = dir / "src/box";
    fs::create_directories(box + "/inner");
    WriteFile(box + "/a.txt", TextBytes(400, 1));
    WriteFile(box + "/inner/b.bin", TextBytes(bigSize, 2));
    WriteFile(box + "/inner/empty", std::vector<std::uint8_t>{});
    WriteFile(dir / "src/top.txt", "top\n");
    const std::string archive = dir / "archive.run";
    fs::copy_file(ModulePath(), archive);
    SdaContext* context = nullptr;
    EXPECT_EQ(IQ_SDAInit(&context, U16(archive).c_str(), u"pass", nullptr, CipherAes256, u"help", nullptr, nullptr,
                         nullptr, nullptr),
              IQ_OK);
    EXPECT_EQ(IQ_SDAAddDir(context, U16(box).c_str(), 9), IQ_OK);
    EXPECT_EQ(IQ_SDAAddFile(context, U16(dir / "src/top.txt").c_str(), 9), IQ_OK);
    IQ_SDAFinal(context);
    return archive;
}

} // namespace

// Cut at every offset of its payload, the module exits exactly as the
// engine run in-process on the same bytes does (whose codes the damage
// sweep checks against the record ends): 0 or 4, never a crash.
TEST(RealModuleSweep, TruncatedAtEveryOffsetAgreesWithTheEngine)
{
    TempDir dir;
    // Small files: the in-process sweeps cover blocks of every size.
    const std::string archive = MakeArchive(dir, 900);
    const std::uintmax_t offset = fs::file_size(ModulePath());
    const std::vector<std::uint8_t> whole = ReadFile(archive);
    const std::vector<std::uint8_t> payload(whole.begin() + static_cast<std::ptrdiff_t>(offset), whole.end());
    const std::string out = dir / "out";
    const std::string engineOut = dir / "engine";
    std::size_t done = 0;
    // Shortest last, so that one file is cut down step by step.
    for (std::size_t length = payload.size(); length-- > 0;) {
        ASSERT_EQ(::truncate(archive.c_str(), static_cast<off_t>(offset + length)), 0);
        int expected = static_cast<int>(ExtractResult::ArchiveError);
        if (length >= 2) {
            fs::remove_all(engineOut);
            fs::create_directory(engineOut);
            const std::vector<std::uint8_t> cut(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(length));
            RecordingObserver observer;
            expected = static_cast<int>(ExtractPayload(cut, u"pass", engineOut, observer));
        }
        fs::remove_all(out);
        fs::create_directory(out);
        ProcessOptions options;
        options.input = "pass\n";
        const ProcessResult result = RunProcess(archive, {"--console", "--dest", out}, options);
        ASSERT_EQ(result.status, expected) << "cut at " << length << "\n" << result.err;
        ASSERT_TRUE(result.status == 0 || result.status == 4) << "cut at " << length;
        if (result.status == 0) {
            ASSERT_EQ(ListTree(out), ListTree(engineOut)) << "cut at " << length;
        }
        done += result.status == 0 ? 1 : 0;
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            ASSERT_TRUE(entry.path().filename() == "src" || entry.path().filename() == "archive.run" ||
                        entry.path().filename() == "out" || entry.path().filename() == "engine")
                << "written outside the destination: " << entry.path();
    }
    std::printf("[ sweep    ] real module, AES-256: %zu cuts, %zu Done, %zu refused with 4\n", payload.size(), done,
                payload.size() - done);
    // The header and the end of the folder "box": a cut inside the folder is
    // a cut; the file behind it ends the whole payload, not among the cuts.
    EXPECT_EQ(done, 2U);
}

// A file-size limit below the big file: the write fails, the module says
// "Can not create output file!" (5) instead of being killed by SIGXFSZ,
// and removes what it wrote of the file.
TEST(RealModuleHardening, FileSizeLimitEndsWithTheOutputFileError)
{
    TempDir dir;
    const std::string archive = MakeArchive(dir, BlockSize + 500);
    const std::string out = dir / "out";
    fs::create_directory(out);
    int input[2];
    ASSERT_EQ(::pipe(input), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(input[0], 0);
        ::close(input[1]);
        const rlimit limit{BlockSize / 2, BlockSize / 2};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_DFL);
        ::execl(archive.c_str(), "archive.run", "--console", "--dest", out.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(input[0]);
    ASSERT_EQ(::write(input[1], "pass\n", 5), 5);
    ::close(input[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(ExtractResult::OutputFileError));
    EXPECT_EQ(ListTree(out + "/box/inner"), std::vector<std::string>{});
}

// Run as an unprivileged user, the module is not dumpable (its /proc
// entries belong to root, so no process of that user can read its memory)
// and has no core-file allowance, while it waits for the passphrase.
TEST(RealModuleHardening, DisablesCoreDumps)
{
    TempDir dir;
    const std::string archive = MakeArchive(dir, 100);
    ::chmod(dir.Path().c_str(), 0755);
    const HardeningObservation seen = ObserveHardening(archive, {"--console", "--list"});
    ASSERT_TRUE(seen.started);
    EXPECT_TRUE(seen.coreLimitZero);
    if (geteuid() == 0) {
        EXPECT_TRUE(seen.procOwnedByRoot) << "the module is still dumpable";
    }
}
