#include "module/module_build.h"

#include "module/payload_offsets.h"

// The build passes IVQA_MODULE_RUSSIAN for the Russian texts; the offset is
// the one the build pads this system's file of that language to.
#if defined(_WIN32) && defined(IVQA_MODULE_RUSSIAN)
#define IVQA_PAYLOAD_OFFSET IVQA_PAYLOAD_OFFSET_WIN_RU
#elif defined(_WIN32)
#define IVQA_PAYLOAD_OFFSET IVQA_PAYLOAD_OFFSET_WIN_EN
#elif defined(IVQA_MODULE_RUSSIAN)
#define IVQA_PAYLOAD_OFFSET IVQA_PAYLOAD_OFFSET_RU
#else
#define IVQA_PAYLOAD_OFFSET IVQA_PAYLOAD_OFFSET_EN
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
