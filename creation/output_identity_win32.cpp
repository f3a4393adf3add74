#include "creation/output_identity.h"

#include "creation/staged_file.h"
#include "platform/file_status.h"
#include "platform/path_calls.h"

#include <utility>

namespace {

using Identity = std::pair<std::uint64_t, std::uint64_t>;

std::optional<Identity> IdentityOf(const std::string& path)
{
    FileStatus status;
    if (!PathStatus(path, true, &status))
        return std::nullopt;
    return Identity{status.device, status.inode};
}

// The output's folder and every folder above it, up to the drive's root:
// the folder's final path (junctions and links resolved) taken apart, so
// that the parents are the real ones rather than the path's text.
std::vector<Identity> FolderChain(const std::string& folder)
{
    std::vector<Identity> chain;
    std::string current = ResolvedPath(folder);
    while (!current.empty()) {
        const auto identity = IdentityOf(current);
        if (!identity)
            break;
        chain.push_back(*identity);
        const std::size_t slash = current.find_last_of('/');
        // "C:/" is the root: nothing above it.
        if (slash == std::string::npos || slash + 1 == current.size())
            break;
        current = current.substr(0, slash);
        if (current.size() == 2 && current[1] == ':')
            current += '/';
    }
    return chain;
}

} // namespace

OutputClash FindOutputAmongInputs(const std::string& output, const std::vector<std::string>& inputs)
{
    const auto outputIdentity = IdentityOf(output);
    const std::vector<Identity> chain = FolderChain(FolderOf(output));
    for (const std::string& input : inputs) {
        FileStatus status;
        if (!PathStatus(input, true, &status))
            continue;
        const Identity identity{status.device, status.inode};
        if (outputIdentity && identity == *outputIdentity)
            return OutputClash::IsInput;
        if (IsDirectory(status)) {
            for (const Identity& folder : chain) {
                if (folder == identity)
                    return OutputClash::InsideInput;
            }
        }
    }
    return OutputClash::None;
}
