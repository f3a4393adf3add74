#pragma once
// A directory walk that reads ahead: a planner thread walks, opens the
// files and submits their blocks to the helpers, queueing what it meets;
// the caller's thread calls back and writes from that queue in the order a
// walk on its own thread would have. A skip question is asked when the
// caller's thread reaches it; the planner goes on as if the entry were
// skipped, and a refusal ends the run there. Every thread is joined before
// the call returns, whichever way it ends.

#include "core/sda_context.h"

#include <functional>

// Runs `walk`, which adds its entries through context.output; on the
// caller's thread alone when no helper or planner thread can be had.
CoreResult WritePlannedWalk(SdaContext& context, unsigned helpers, const std::function<CoreResult()>& walk);
