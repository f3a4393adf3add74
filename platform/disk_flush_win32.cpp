#include "platform/descriptor_io.h"

#include <io.h>
#include <windows.h>

bool FlushToDisk(int fd)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != 0;
}
