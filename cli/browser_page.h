#pragma once
// ivqa-extract.html, the page that restores archives in a browser: it lies
// beside this program, and `ivqa browser-page` copies it for sending along.

#include <optional>
#include <string>

// Null when this build has no page beside the program.
std::optional<std::string> BrowserPagePath();
