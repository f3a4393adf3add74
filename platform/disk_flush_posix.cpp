#include "platform/descriptor_io.h"

#include <cerrno>
#include <unistd.h>

bool FlushToDisk(int fd)
{
    int result;
    do {
        result = ::fsync(fd);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}
