#include "cli/input_paths.h"

#include "platform/path_calls.h"
#include "platform/utf.h"

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
        if (std::string resolved = ResolvedPath(input.path); !resolved.empty())
            input.path = std::move(resolved);
    }
    FileStatus status;
    input.directory = PathStatus(input.path, followLinks, &status) && IsDirectory(status);
    input.units = NameToUtf16(input.path);
    input.shown = Shown(input.path);
    return input;
}
