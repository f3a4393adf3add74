#include "cli/path_checks.h"

#include "cli/diagnostics.h"
#include "platform/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const UniqueFd fd(::open(location.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd)
        return ReasonOf(errno);
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0)
        return ReasonOf(errno);
    if (S_ISDIR(status.st_mode))
        return ReasonOf(EISDIR);
    return {};
}

std::string OutputFolderProblem(const std::string& path)
{
    const std::string folder = ParentOf(path);
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0)
        return ReasonOf(errno);
    if (!S_ISDIR(status.st_mode))
        return ReasonOf(ENOTDIR);
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return ReasonOf(errno);
    return {};
}

std::string DestinationProblem(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0)
        return S_ISDIR(status.st_mode) ? std::string() : ReasonOf(ENOTDIR);
    if (errno != ENOENT)
        return ReasonOf(errno);
    // The folders are made inside the nearest one that exists.
    std::string current = path;
    for (;;) {
        const std::string parent = ParentOf(current);
        if (parent == current)
            return ReasonOf(ENOENT);
        if (::stat(parent.c_str(), &status) == 0) {
            if (!S_ISDIR(status.st_mode))
                return ReasonOf(ENOTDIR);
            return ::access(parent.c_str(), W_OK | X_OK) == 0 ? std::string() : ReasonOf(errno);
        }
        if (errno != ENOENT)
            return ReasonOf(errno);
        current = parent;
    }
}

bool DestinationFolder::Prepare(const std::string& path, std::string* reason)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
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
        if (::stat(current.c_str(), &status) == 0)
            break;
        missing.insert(missing.begin(), current);
        if (current == ParentOf(current))
            break;
    }
    for (const std::string& folder : missing) {
        if (::mkdir(folder.c_str(), 0777) == 0) {
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
        if (::rmdir(created_.back().c_str()) != 0)
            break;
        created_.pop_back();
    }
    created_.clear();
}
