#include "module/terminal_input.h"

long ReadPlainLine(std::FILE* in, char* buffer, std::size_t capacity)
{
    std::size_t kept = 0;
    bool any = false;
    for (;;) {
        const int c = std::fgetc(in);
        if (c == EOF)
            break;
        any = true;
        if (c == '\n')
            break;
        if (kept < capacity)
            buffer[kept++] = static_cast<char>(c);
    }
    if (!any)
        return -1;
    if (kept > 0 && buffer[kept - 1] == '\r')
        --kept;
    return static_cast<long>(kept);
}
