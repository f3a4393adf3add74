#include "cli/path_checks.h"

#include "cli/diagnostics.h"
#include "platform/path_calls.h"
#include "platform/unique_fd.h"

#include <cerrno>

namespace {

std::string ParentOf(const std::string& path)
{
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    const std::size_t slash = path.rfind('/', end - 1);
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string LocalKeyfileProblem(const std::string& location)
{
    if (location.empty() || location.find("://") != std::string::npos)
        return {};
    const UniqueFd fd(OpenForReading(location));
    if (!fd)
        return ReasonOf(errno);
    FileStatus status;
    if (!QueryOpenFileStatus(fd.Get(), &status))
        return ReasonOf(errno);
    if (IsDirectory(status))
        return ReasonOf(EISDIR);
    return {};
}

std::string OutputFolderProblem(const std::string& path)
{
    const std::string folder = ParentOf(path);
    FileStatus status;
    if (!PathStatus(folder, true, &status))
        return ReasonOf(errno);
    if (!IsDirectory(status))
        return ReasonOf(ENOTDIR);
    if (!FolderWritable(folder))
        return ReasonOf(errno);
    return {};
}

std::string DestinationProblem(const std::string& path)
{
    FileStatus status;
    if (PathStatus(path, true, &status))
        return IsDirectory(status) ? std::string() : ReasonOf(ENOTDIR);
    if (errno != ENOENT)
        return ReasonOf(errno);
    // The folders are made inside the nearest one that exists.
    std::string current = path;
    for (;;) {
        const std::string parent = ParentOf(current);
        if (parent == current)
            return ReasonOf(ENOENT);
        if (PathStatus(parent, true, &status)) {
            if (!IsDirectory(status))
                return ReasonOf(ENOTDIR);
            return FolderWritable(parent) ? std::string() : ReasonOf(errno);
        }
        if (errno != ENOENT)
            return ReasonOf(errno);
        current = parent;
    }
}

bool DestinationFolder::Prepare(const std::string& path, std::string* reason)
{
    FileStatus status;
    if (PathStatus(path, true, &status)) {
        if (IsDirectory(status))
            return true;
        *reason = ReasonOf(ENOTDIR);
        return false;
    }
    if (errno != ENOENT) {
        *reason = ReasonOf(errno);
        return false;
    }
    // The missing part, outermost first.
    std::vector<std::string> missing;
    for (std::string current = path;; current = ParentOf(current)) {
        if (PathStatus(current, true, &status))
            break;
        missing.insert(missing.begin(), current);
        if (current == ParentOf(current))
            break;
    }
    for (const std::string& folder : missing) {
        if (MakeFolder(folder)) {
            created_.push_back(folder);
        } else if (errno != EEXIST) {
            *reason = ReasonOf(errno);
            Withdraw();
            return false;
        }
    }
    return true;
}

void DestinationFolder::Withdraw()
{
    while (!created_.empty()) {
        if (!RemoveEmptyFolder(created_.back()))
            break;
        created_.pop_back();
    }
    created_.clear();
}
