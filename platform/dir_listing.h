#pragma once
// A directory listing owned like a descriptor, and the loop over its
// entries that every tree walk of the library shares: "." and ".." left
// out, a read error told apart from the end.

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>

struct DirListingCloser {
    void operator()(DIR* listing) const { closedir(listing); }
};
using DirListing = std::unique_ptr<DIR, DirListingCloser>;

inline bool IsDotOrDotDot(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Calls visit(entry) for every entry in listing order and returns the first
// result that is not `ok`; `readError` when the listing cannot be read on.
template <typename Result, typename Visit>
Result ForEachListedEntry(DIR* listing, Result ok, Result readError, Visit&& visit)
{
    for (;;) {
        errno = 0;
        const dirent* listed = readdir(listing);
        if (listed == nullptr)
            return errno != 0 ? readError : ok;
        if (IsDotOrDotDot(listed->d_name))
            continue;
        if (const Result result = visit(*listed); result != ok)
            return result;
    }
}
