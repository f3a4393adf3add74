#include "module/module_build.h"

// The build passes IVQA_PAYLOAD_OFFSET, the same number that it pads the
// linked file to, and IVQA_MODULE_RUSSIAN for the Russian texts.
#ifndef IVQA_PAYLOAD_OFFSET
#error "IVQA_PAYLOAD_OFFSET must be defined by the build"
#endif
static_assert(IVQA_PAYLOAD_OFFSET % 4096 == 0);

const ModuleBuild& ThisModuleBuild()
{
#ifdef IVQA_MODULE_RUSSIAN
    static constexpr ModuleBuild build = WithPayloadOffset(RussianModuleBuild, IVQA_PAYLOAD_OFFSET);
#else
    static constexpr ModuleBuild build = WithPayloadOffset(EnglishModuleBuild, IVQA_PAYLOAD_OFFSET);
#endif
    return build;
}
