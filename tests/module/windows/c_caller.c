/* ivqa.h as a C program on Windows sees it: wchar_t text, plain C. The
 * driver calls through this one function to show the header links too. */
#include "ivqa.h"

#include <stddef.h>

CoreResult CallerFillsRandom(void *buffer, uint32_t length)
{
    const wchar_t *none = NULL;
    (void)none;
    return IQ_RndGetBytes(buffer, length);
}
