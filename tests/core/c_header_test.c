/* The interface header compiles as C, and a C program can call through it. */
#include "ivqa.h"

#include <stddef.h>

_Static_assert(sizeof(CoreResult) == 4, "CoreResult is 32 bits");
_Static_assert(IQ_RANDOM_ERROR == 7 && IQ_ABORTED == 8, "result codes are fixed");

int main(void)
{
    unsigned char bytes[16] = {0};
    SdaContext *context = NULL;
    if (IQ_RndGetBytes(bytes, sizeof bytes) != IQ_OK)
        return 1;
    /* A context that was never allocated is accepted by Final. */
    IQ_SDAFinal(context);
    return 0;
}
