#pragma once
// Trees deeper than any path: one folder `d` inside the other, a small file
// on some levels. Made, checked and removed through descriptors, one level
// at a time, since their paths outgrow PATH_MAX.

#include <string>
#include <sys/resource.h>

// `depth` nested folders below `root` (which is created), file `fN` on every
// level N that is a multiple of `fileEvery`, `leaf.txt` at the bottom.
void MakeDeepTree(const std::string& root, int depth, int fileEvery);

// Empty when `root` holds exactly that tree, else the first difference.
std::string DeepTreeDifference(const std::string& root, int depth, int fileEvery);

// Removes a tree of any depth; nothing when it is not there.
void RemoveDeepTree(const std::string& root);

// This process's soft limit of open files, and that of the programs it
// starts, for one scope.
class OpenFileLimit {
public:
    explicit OpenFileLimit(rlim_t soft);
    ~OpenFileLimit();
    OpenFileLimit(const OpenFileLimit&) = delete;
    OpenFileLimit& operator=(const OpenFileLimit&) = delete;

private:
    rlimit saved_{};
};
