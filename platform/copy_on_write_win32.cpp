#include "platform/copy_on_write.h"

// NTFS and FAT overwrite a file's clusters in place; the copy-on-write
// systems the notice names do not exist on Windows.
bool IsOnCopyOnWriteFileSystem(const char* /*path*/)
{
    return false;
}
