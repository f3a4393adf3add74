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
    static const ModuleBuild build{IVQA_PAYLOAD_OFFSET, 1430, 1430, &RussianTexts, {271, 197, 67}};
#else
    static const ModuleBuild build{IVQA_PAYLOAD_OFFSET, 1426, 1426, &EnglishTexts, {267, 200, 60}};
#endif
    return build;
}
