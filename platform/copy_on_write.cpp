#include "platform/copy_on_write.h"

#include "platform/unique_fd.h"

#include <fcntl.h>
#include <sys/vfs.h>

namespace {

// The statfs magic numbers of the kernel's file systems.
constexpr long BtrfsMagic = 0x9123683E;
constexpr long ZfsMagic = 0x2FC12FC1;
constexpr long BcachefsMagic = 0xCA451A4E;

} // namespace

bool IsOnCopyOnWriteFileSystem(const char* path)
{
    // A wipe removes a link without following it, so the link's own file
    // system is the one that counts.
    const UniqueFd handle(::open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct statfs info {};
    if (!handle || ::fstatfs(handle.Get(), &info) != 0)
        return false;
    const long magic = static_cast<long>(info.f_type);
    return magic == BtrfsMagic || magic == ZfsMagic || magic == BcachefsMagic;
}
