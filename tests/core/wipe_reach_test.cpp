// What a wipe reaches on the disk: a file of blocks no other file holds is
// written to a loop-mounted file system, synced, wiped (or deleted), and the
// unmounted image is searched for its blocks. The figures are the README's;
// each case prints them. Loop mounts need root: without it the test skips.

#include "ivqa.h"
#include "platform/copy_on_write.h"
#include "scratch_mount.h"
#include "wipe_fixture.h"
#include "wipe_operations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t BlockBytes = 4096;
constexpr std::size_t FileBlocks = 640; // 2.5 MiB
constexpr char Tag[] = "ivqa-reach-block";

// Block `index` of the file: the tag, its index, then bytes of its own.
std::vector<std::uint8_t> Block(std::uint32_t index)
{
    std::vector<std::uint8_t> block = SampleBytes(BlockBytes, 1000 + index);
    std::memcpy(block.data(), Tag, sizeof Tag);
    std::memcpy(block.data() + sizeof Tag, &index, sizeof index);
    return block;
}

void WriteSynced(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    for (std::uint32_t index = 0; index < FileBlocks; ++index) {
        const std::vector<std::uint8_t> block = Block(index);
        ASSERT_EQ(::write(fd, block.data(), block.size()), static_cast<ssize_t>(block.size()));
    }
    ASSERT_EQ(::fsync(fd), 0);
    ASSERT_EQ(::syncfs(fd), 0);
    ::close(fd);
}

// How many of the file's blocks lie whole somewhere in the image. A file
// system's blocks may be as small as 1 KiB, so every sector is looked at.
std::size_t BlocksLeft(const std::string& image)
{
    const int fd = ::open(image.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0)
        return ~std::size_t{0};
    const auto size = static_cast<std::size_t>(status.st_size);
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (mapped == MAP_FAILED)
        return ~std::size_t{0};
    const auto* bytes = static_cast<const std::uint8_t*>(mapped);
    std::vector<bool> found(FileBlocks, false);
    for (std::size_t offset = 0; offset + BlockBytes <= size; offset += 512) {
        if (std::memcmp(bytes + offset, Tag, sizeof Tag) != 0)
            continue;
        std::uint32_t index = 0;
        std::memcpy(&index, bytes + offset + sizeof Tag, sizeof index);
        if (index < FileBlocks && std::memcmp(bytes + offset, Block(index).data(), BlockBytes) == 0)
            found[index] = true;
    }
    ::munmap(mapped, size);
    return static_cast<std::size_t>(std::count(found.begin(), found.end(), true));
}

struct FileSystemCase {
    const char* type;
    int megabytes;
    bool copyOnWrite;
};

struct RemovalCase {
    const char* label;
    Operation operation;
    std::uint32_t method;
};

TEST(WipeReach, OverwritingReachesEveryBlockUnlessTheFileSystemCopiesOnWrite)
{
    const FileSystemCase fileSystems[] = {{"ext4", 32, false}, {"xfs", 300, false}, {"btrfs", 1024, true}};
    const RemovalCase removals[] = {
        {"Fast", Operation::WipeFile, Fast},
        {"DoD-5220.22-M", Operation::WipeFile, Dod},
        {"Gutmann", Operation::WipeFile, Gutmann},
        {"delete", Operation::RmFile, Fast},
    };
    if (::geteuid() != 0)
        GTEST_SKIP() << "loop mounts need root";
    for (const FileSystemCase& system : fileSystems) {
        for (const RemovalCase& removal : removals) {
            SCOPED_TRACE(testing::Message() << system.type << ", " << removal.label);
            TempDir scratch;
            MakeDir(scratch / "mnt");
            ScratchMount mount(system.type, scratch / "image", system.megabytes, scratch / "mnt");
            if (!mount.Mounted()) {
                std::printf("%s: not measured (%s)\n", system.type, mount.Why().c_str());
                break;
            }
            const std::string file = scratch / "mnt/secret.bin";
            WriteSynced(file);
            EXPECT_EQ(IsOnCopyOnWriteFileSystem(file.c_str()), system.copyOnWrite);
            CallbackRecorder recorder;

            ASSERT_EQ(RunOperation(removal.operation, file, removal.method), IQ_OK);
            ASSERT_TRUE(mount.Unmount());

            const std::size_t left = BlocksLeft(scratch / "image");
            std::printf("%-6s %-14s %3zu of %zu blocks left\n", system.type, removal.label, left, FileBlocks);
            const bool overwritten = removal.operation == Operation::WipeFile && !system.copyOnWrite;
            EXPECT_EQ(left, overwritten ? 0 : FileBlocks);
        }
    }
}

} // namespace
