#include "creation/held_removal.h"

#include "platform/file_status.h"
#include "platform/path_calls.h"

#include <map>

namespace {

// One top-level entry of the archive and everything below it, keyed by the
// path below the top ("" for the top itself).
struct HeldTree {
    std::string name;
    bool directory = false;
    bool claimed = false;
    std::map<std::string, const HeldEntry*> entries;
};

std::vector<HeldTree> GroupByTop(const std::vector<HeldEntry>& held)
{
    std::vector<HeldTree> trees;
    for (const HeldEntry& entry : held) {
        const std::size_t slash = entry.path.find('/');
        if (slash == std::string::npos) {
            trees.push_back({entry.path, entry.directory, false, {}});
            trees.back().entries.emplace("", &entry);
        } else if (!trees.empty()) {
            trees.back().entries.emplace(entry.path.substr(slash + 1), &entry);
        }
    }
    return trees;
}

std::string BaseNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Exists(const std::string& path)
{
    FileStatus status;
    return PathStatus(path, false, &status);
}

class RemovalWalk {
public:
    RemovalWalk(HeldFileRemover& remover, RemovalReport& report) : remover_(remover), report_(report) {}

    // False once the remover stopped the walk.
    bool Entry(const std::string& path, const HeldTree& tree, const std::string& relative);

private:
    bool File(const std::string& path, const HeldEntry& held, bool link);
    bool Folder(const std::string& path, const HeldTree& tree, const std::string& relative);
    void Keep(const std::string& path, KeptReason reason) { report_.kept.push_back({path, reason}); }

    HeldFileRemover& remover_;
    RemovalReport& report_;
};

bool RemovalWalk::Entry(const std::string& path, const HeldTree& tree, const std::string& relative)
{
    const auto found = tree.entries.find(relative);
    FileStatus own;
    if (!PathStatus(path, false, &own))
        return true; // gone already
    if (found == tree.entries.end()) {
        Keep(path, KeptReason::NotArchived);
        return true;
    }
    const HeldEntry& held = *found->second;
    if (IsSymbolicLink(own))
        return File(path, held, true);
    if (IsDirectory(own)) {
        if (!held.directory) {
            Keep(path, KeptReason::Changed);
            return true;
        }
        return Folder(path, tree, relative);
    }
    if (held.directory || !IsRegularFile(own)) {
        Keep(path, KeptReason::Changed);
        return true;
    }
    return File(path, held, false);
}

bool RemovalWalk::File(const std::string& path, const HeldEntry& held, bool link)
{
    // The writer followed links, so a link's record describes its target;
    // removing the link leaves the target alone.
    FileStatus target;
    const bool readable = PathStatus(path, true, &target);
    const bool same = held.directory ? link && readable && IsDirectory(target)
                                     : readable && IsRegularFile(target) && target.size == held.size &&
                                           target.lastWriteTime == held.lastWriteTime;
    if (!same) {
        Keep(path, KeptReason::Changed);
        return true;
    }
    const CoreResult result = remover_.RemoveFile(path);
    if (result != IQ_OK) {
        report_.result = result;
        Keep(path, KeptReason::NotRemoved);
        return false;
    }
    if (Exists(path))
        Keep(path, KeptReason::NotRemoved);
    else
        ++report_.removed;
    return true;
}

bool RemovalWalk::Folder(const std::string& path, const HeldTree& tree, const std::string& relative)
{
    const auto names = FolderNames(path);
    if (!names) {
        Keep(path, KeptReason::NotRemoved);
        return true;
    }
    for (const std::string& name : *names) {
        const std::string below = relative.empty() ? name : relative + "/" + name;
        if (!Entry(path + "/" + name, tree, below))
            return false;
    }
    // Only an empty folder goes: whatever was kept inside holds it.
    if (RemoveEmptyFolder(path))
        ++report_.removed;
    return true;
}

} // namespace

RemovalReport RemoveHeldEntries(const std::vector<InputRoot>& inputs, const std::vector<HeldEntry>& held,
                                HeldFileRemover& remover)
{
    RemovalReport report;
    std::vector<HeldTree> trees = GroupByTop(held);
    RemovalWalk walk(remover, report);
    for (const InputRoot& input : inputs) {
        // The writer records each input under its last component, in order;
        // two inputs of one name take the archive's entries of that name in
        // turn, and the size and time checks guard each file.
        const std::string name = BaseNameOf(input.path);
        HeldTree* tree = nullptr;
        for (HeldTree& candidate : trees) {
            if (!candidate.claimed && candidate.name == name && candidate.directory == input.directory) {
                tree = &candidate;
                break;
            }
        }
        if (!tree) {
            if (Exists(input.path))
                report.kept.push_back({input.path, KeptReason::NotArchived});
            continue;
        }
        tree->claimed = true;
        if (!walk.Entry(input.path, *tree, ""))
            break;
    }
    return report;
}

std::string_view KeptReasonText(KeptReason reason)
{
    switch (reason) {
    case KeptReason::NotArchived:
        return "not in the archive";
    case KeptReason::Changed:
        return "changed since it was archived";
    case KeptReason::NotRemoved:
        break;
    }
    return "could not be removed";
}
