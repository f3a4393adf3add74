#pragma once
// The texts the system shows for the library's result codes.

#include "ivqa.h"

#include <string_view>

// Empty for Ok and for codes that have no text (IQ_ABORTED among them).
std::string_view CoreResultText(CoreResult result);

// The wipe run shows fewer: the keyfile, archive and compression codes
// cannot come from the wipe engine.
std::string_view WipeResultText(CoreResult result);
