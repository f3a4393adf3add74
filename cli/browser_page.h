#pragma once
// ivqa-extract.html, the page that restores archives in a browser: it lies
// beside this program, and `ivqa browser-page` copies it for sending along.

#include <optional>
#include <string>

// Beside the program, or in the installed tree's private folder beside the
// modules; null when this build has no page.
std::optional<std::string> BrowserPagePath();

// The one line on standard error that ends `ivqa create`: where the page
// is that opens the archive in a browser. Nothing without a page.
void PrintBrowserPageNote();
