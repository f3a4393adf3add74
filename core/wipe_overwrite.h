#pragma once
// The passes of a wipe over the file the context holds open, the same on
// every system: each pattern written over the whole file from its start in
// WipeBufferSize pieces, then flushed to the disk.

#include "core/wipe_context.h"

// Every repetition of the context's method over a file of `size` bytes,
// after the range callback. IQ_OK, IQ_INPUT_FILE_ERROR (a pass could not be
// positioned, written or flushed: the file is closed and stays, partly
// overwritten) or IQ_RANDOM_ERROR.
CoreResult OverwriteOpenFile(WipeContext& context, std::uint64_t size);
