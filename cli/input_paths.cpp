#include "cli/input_paths.h"

#include "platform/utf.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace {

std::string WithoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string Shown(const std::string& path)
{
    if (Utf8ToUtf16(path))
        return path;
    std::string shown;
    for (const char c : path)
        shown.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
    return shown;
}

} // namespace

bool NamesDotEntry(const std::string& path)
{
    const std::string trimmed = WithoutTrailingSlashes(path);
    const std::size_t slash = trimmed.rfind('/');
    const std::string last = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    return last == "." || last == "..";
}

InputPath ResolveInput(const std::string& operand, bool followLinks)
{
    InputPath input;
    input.path = WithoutTrailingSlashes(operand);
    if (followLinks && NamesDotEntry(input.path)) {
        char resolved[PATH_MAX];
        if (::realpath(input.path.c_str(), resolved) != nullptr)
            input.path = resolved;
    }
    struct stat status {};
    const int found = followLinks ? ::stat(input.path.c_str(), &status) : ::lstat(input.path.c_str(), &status);
    input.directory = found == 0 && S_ISDIR(status.st_mode);
    input.units = NameToUtf16(input.path);
    input.shown = Shown(input.path);
    return input;
}
