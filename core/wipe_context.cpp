#include "core/wipe_context.h"

void WipeContext::ReportRange(std::uint64_t steps) const
{
    if (onRange != nullptr)
        onRange(&steps);
}

void WipeContext::ReportStep() const
{
    if (onStep != nullptr)
        onStep();
}
