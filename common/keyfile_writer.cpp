#include "common/keyfile_writer.h"

#include "creation/staged_file.h"
#include "platform/locked_buffer.h"
#include "platform/unique_fd.h"
#include "platform/descriptor_io.h"
#include "platform/path_calls.h"

#include <cerrno>
#include <unistd.h>

namespace {

constexpr std::uint32_t RequestSize = 256;

KeyfileResult Fill(int fd, std::uint32_t size, RandomSource random)
{
    LockedBuffer<std::uint8_t> block(RequestSize);
    for (std::uint32_t left = size; left > 0;) {
        const std::uint32_t piece = left < RequestSize ? left : RequestSize;
        block.Wipe();
        if (random(block.data(), piece) != 0)
            return KeyfileResult::RandomFailed;
        if (!WriteAll(fd, block.data(), piece))
            return KeyfileResult::CannotCreate;
        left -= piece;
    }
    return KeyfileResult::Ok;
}

} // namespace

KeyfileResult WriteKeyfile(const std::string& path, std::uint32_t size, RandomSource random)
{
    // A device or pipe named as the output (/dev/stdout) is just written to;
    // a file is made whole beside its name and renamed onto it.
    FileStatus status;
    if (PathStatus(path, true, &status) && !IsRegularFile(status) && !IsDirectory(status)) {
        UniqueFd fd(OpenDeviceForWriting(path));
        if (!fd)
            return KeyfileResult::CannotCreate;
        KeyfileResult result = Fill(fd.Get(), size, random);
        if (!fd.Reset() && result == KeyfileResult::Ok)
            result = KeyfileResult::CannotCreate;
        return result;
    }
    std::optional<StagedFile> file = StagedFile::Create(path);
    if (!file)
        return KeyfileResult::CannotCreate;
    const KeyfileResult result = Fill(file->Fd(), size, random);
    if (result != KeyfileResult::Ok)
        return result;
    return file->Commit(0600) == StagedCommit::Done ? KeyfileResult::Ok : KeyfileResult::CannotCreate;
}
