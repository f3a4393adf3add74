#pragma once
// The help text of a new archive from a UTF-8 text file, stored the way the
// creation dialog stores its memo.

#include "common/help_text.h"

#include <string>

enum class HelpFileStatus { Ok, CannotRead, NotUtf8 };

HelpFileStatus ReadHelpFile(const std::string& path, StoredHelp* help);
