#include "cli/entry_search.h"

#include "platform/path_calls.h"

#include <io.h>

namespace {

constexpr int MaxDepth = 256;

struct Search {
    std::string_view name;
    bool followLinks;
    std::string firstFound;
    std::string failing;
};

void Walk(const std::string& folder, Search& search, int depth)
{
    const auto names = FolderNames(folder);
    if (!names)
        return;
    for (const std::string& name : *names) {
        if (!search.failing.empty())
            return;
        const std::string path = folder + "/" + name;
        FileStatus own;
        if (!PathStatus(path, false, &own))
            continue;
        if (search.name == name) {
            FileStatus target;
            // A file that cannot be opened for reading is the one that failed.
            bool readable = IsSymbolicLink(own) && !search.followLinks;
            if (!readable && (!search.followLinks || PathStatus(path, true, &target))) {
                const int fd = OpenForReading(path);
                readable = fd >= 0;
                if (fd >= 0)
                    ::_close(fd);
            }
            if (!readable) {
                search.failing = path;
                return;
            }
            if (search.firstFound.empty())
                search.firstFound = path;
        }
        // Reparse points are never entered, as the library's walks do not.
        if (IsDirectory(own) && depth < MaxDepth)
            Walk(path, search, depth + 1);
    }
}

} // namespace

std::string FindEntryBelow(const std::string& folder, std::string_view name, bool followLinks)
{
    Search search{name, followLinks, {}, {}};
    Walk(folder, search, 0);
    return search.failing.empty() ? search.firstFound : search.failing;
}
