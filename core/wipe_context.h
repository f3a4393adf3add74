#pragma once
// The state of one wipe run, from IQ_WipeInit to IQ_WipeFinal: the method,
// the callbacks, the file being overwritten and the pattern buffer.

#include "core/entry_removal.h"
#include "core/wipe_passes.h"
#include "ivqa.h"
#include "platform/unique_fd.h"

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t WipeBufferSize = 524288;

struct WipeContext {
    WipeContext(std::uint8_t repetitionCount, WipeMethod wipeMethod, NameCallback name, RangeCallback range,
                StepCallback step, SkipCallback skip)
        : repetitions(repetitionCount), method(wipeMethod), callbacks{name, skip}, onRange(range), onStep(step)
    {
    }
    WipeContext(const WipeContext&) = delete;
    WipeContext& operator=(const WipeContext&) = delete;

    std::uint8_t repetitions;
    WipeMethod method;
    RemovalCallbacks callbacks;
    RangeCallback onRange;
    StepCallback onStep;

    // Held only while a file is being overwritten; whatever is still open
    // when the context goes (after an abort) is closed with it.
    UniqueFd file;

    // Set by the first failure: from then on only IQ_WipeFinal may follow.
    bool spent = false;

    // Pattern bytes only, so it is not locked; random values are wiped from
    // it after each repetition that used them.
    std::array<std::uint8_t, WipeBufferSize> pattern{};

    void Spend() noexcept
    {
        spent = true;
        file.Reset();
    }

    void ReportRange(std::uint64_t steps) const;
    void ReportStep() const;
};
