#pragma once
// One directory of a deep tree walk. A walk that kept every level open
// would run out of descriptors long before it runs out of depth, so only
// the last few levels keep theirs: an older level reads what is left of its
// listing into memory and closes it, and when the walk climbs back it takes
// the directory again through its child's "..", refusing anything that is
// not the same directory (device and inode) it left.

#include "platform/dir_listing.h"
#include "platform/file_status.h"
#include "platform/unique_fd.h"

#include <cstddef>
#include <string>
#include <vector>

// How many levels of a walk keep their descriptors.
inline constexpr int HeldWalkLevels = 16;

struct ListedEntry {
    std::string name;
    unsigned char type = DT_UNKNOWN; // as readdir's d_type
};

enum class ListingStep { Entry, End, Error };

// The device and inode of an open directory.
bool QueryDirectoryIdentity(int fd, FileStatus* identity);

// Opens the parent of the directory `childFd` through its "..", only when
// that is the directory `expected` names; an invalid handle otherwise.
UniqueFd OpenSameParent(int childFd, const FileStatus& expected);

class WalkLevel;

// Calls visit(entry) for every entry of `level` and returns the first result
// that is not `ok`; `readError` when the listing cannot be read on. The
// level's descriptor may change between calls: ask it for Fd() each time.
template <typename Result, typename Visit>
Result ForEachLevelEntry(WalkLevel& level, Result ok, Result readError, Visit&& visit);

class WalkLevel {
public:
    // Lists the directory `handle`; false (the handle closed) when it
    // cannot be listed.
    bool Start(UniqueFd handle);

    // The directory's descriptor; -1 while it is given up.
    int Fd() const;
    bool Held() const { return Fd() >= 0; }

    // The next entry other than "." and "..", in listing order.
    ListingStep Next(ListedEntry* entry);

    // Closes the descriptor, keeping the entries not visited yet; a read
    // error met on the way comes from Next once they are used up.
    void GiveUp();

    // Takes the descriptor again through the child `childFd` of this
    // directory; false when that leads anywhere but `identity`.
    bool Retake(int childFd, const FileStatus& identity);

    void Close();

private:
    DirListing listing_;
    // The descriptor taken again after GiveUp, which lists from rest_.
    UniqueFd handle_;
    std::vector<ListedEntry> rest_;
    std::size_t nextRest_ = 0;
    bool restReadError_ = false;
};

template <typename Result, typename Visit>
Result ForEachLevelEntry(WalkLevel& level, Result ok, Result readError, Visit&& visit)
{
    for (;;) {
        ListedEntry entry;
        const ListingStep step = level.Next(&entry);
        if (step == ListingStep::End)
            return ok;
        if (step == ListingStep::Error)
            return readError;
        if (const Result result = visit(entry); result != ok)
            return result;
    }
}
