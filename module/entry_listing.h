#pragma once
// Where each entry of a run lies inside the archive, and the line a listing
// shows for it.

#include "module/extraction_engine.h"

#include <string>
#include <string_view>
#include <vector>

class EntryPaths {
public:
    // The entry's path inside the archive ("folder/sub/name", shown for a
    // terminal); a directory becomes the parent of the entries that follow.
    const std::string& Enter(const ExtractEntry& entry);
    void Leave();
    // The path of the last entry entered.
    const std::string& Current() const { return current_; }
    // True while a folder entered has not been left.
    bool InsideFolder() const { return !folders_.empty(); }

private:
    std::vector<std::string> folders_;
    std::string current_;
};

// A folder as "path/"; a file as its size, its last-write time (UTC) and
// its path.
std::string ListingLine(const ExtractEntry& entry, std::string_view path);
