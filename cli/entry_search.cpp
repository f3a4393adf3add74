#include "cli/entry_search.h"


#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace {

constexpr int MaxDepth = 256;

struct Search {
    std::string_view name;
    bool followLinks;
    std::string firstFound;
    std::string failing;
};

void Walk(int dirFd, const std::string& shown, Search& search, int depth)
{
    std::unique_ptr<DIR, int (*)(DIR*)> listing(::fdopendir(dirFd), &::closedir);
    if (!listing) {
        ::close(dirFd);
        return;
    }
    while (const dirent* entry = ::readdir(listing.get())) {
        if (!search.failing.empty())
            return;
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        const std::string path = shown + "/" + entry->d_name;
        struct stat own {};
        if (::fstatat(::dirfd(listing.get()), entry->d_name, &own, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (search.name == entry->d_name) {
            struct stat target {};
            const bool readable =
                (!search.followLinks ||
                 ::fstatat(::dirfd(listing.get()), entry->d_name, &target, 0) == 0) &&
                (S_ISDIR(own.st_mode) || ::faccessat(::dirfd(listing.get()), entry->d_name, R_OK, 0) == 0 ||
                 S_ISLNK(own.st_mode));
            if (!readable) {
                search.failing = path;
                return;
            }
            if (search.firstFound.empty())
                search.firstFound = path;
        }
        if (S_ISDIR(own.st_mode) && depth < MaxDepth) {
            const int child = ::openat(::dirfd(listing.get()), entry->d_name,
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child >= 0)
                Walk(child, path, search, depth + 1);
        }
    }
}

} // namespace

std::string FindEntryBelow(const std::string& folder, std::string_view name, bool followLinks)
{
    Search search{name, followLinks, {}, {}};
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    Walk(fd, folder, search, 0);
    return search.failing.empty() ? search.firstFound : search.failing;
}
