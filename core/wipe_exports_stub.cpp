// Placeholders for the wipe and delete exports until the wipe engine lands:
// they exist so that the library exports its whole interface, and refuse
// every request without touching anything.

#include "ivqa.h"

extern "C" {

IVQA_API CoreResult IQ_WipeInit(WipeContext** ctx, uint32_t, uint32_t, NameCallback, RangeCallback,
                                StepCallback, SkipCallback)
{
    if (ctx != nullptr)
        *ctx = nullptr;
    return IQ_INPUT_FILE_ERROR;
}

IVQA_API CoreResult IQ_WipeFile(WipeContext*, const char16_t*)
{
    return IQ_INPUT_FILE_ERROR;
}

IVQA_API CoreResult IQ_WipeDir(WipeContext*, const char16_t*)
{
    return IQ_INPUT_FILE_ERROR;
}

IVQA_API void IQ_WipeFinal(WipeContext*) {}

IVQA_API CoreResult IQ_RmFile(const char16_t*, NameCallback, SkipCallback)
{
    return IQ_INPUT_FILE_ERROR;
}

IVQA_API CoreResult IQ_RmDir(const char16_t*, NameCallback, SkipCallback)
{
    return IQ_INPUT_FILE_ERROR;
}

} // extern "C"
