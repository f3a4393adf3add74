#include "creation/output_identity.h"

#include "creation/staged_file.h"
#include "platform/unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <utility>

namespace {

using Identity = std::pair<dev_t, ino_t>;

Identity IdentityOf(const struct stat& status)
{
    return {status.st_dev, status.st_ino};
}

// The output's folder and every folder above it, up to the root, walked
// through ".." of the real folder rather than by the path's text.
std::vector<Identity> FolderChain(const std::string& folder)
{
    std::vector<Identity> chain;
    UniqueFd current(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY));
    while (current) {
        struct stat status {};
        if (::fstat(current.Get(), &status) != 0)
            break;
        if (!chain.empty() && chain.back() == IdentityOf(status))
            break; // the root is its own parent
        chain.push_back(IdentityOf(status));
        current = UniqueFd(::openat(current.Get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY));
    }
    return chain;
}

} // namespace

OutputClash FindOutputAmongInputs(const std::string& output, const std::vector<std::string>& inputs)
{
    struct stat outputStatus {};
    const bool outputExists = ::stat(output.c_str(), &outputStatus) == 0;
    const std::vector<Identity> chain = FolderChain(FolderOf(output));
    for (const std::string& input : inputs) {
        struct stat status {};
        if (::stat(input.c_str(), &status) != 0)
            continue;
        const Identity identity = IdentityOf(status);
        if (outputExists && identity == IdentityOf(outputStatus))
            return OutputClash::IsInput;
        if (S_ISDIR(status.st_mode)) {
            for (const Identity& folder : chain) {
                if (folder == identity)
                    return OutputClash::InsideInput;
            }
        }
    }
    return OutputClash::None;
}
