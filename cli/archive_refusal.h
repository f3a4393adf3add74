#pragma once
// The one line for a file that ivqa cannot take for an archive.

#include <string>
#include <string_view>

// "Can not open archive! PATH: REASON"; returns that result's exit status.
int RefuseArchive(const std::string& path, std::string_view reason);
