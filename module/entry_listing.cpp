#include "module/entry_listing.h"

#include "module/display_text.h"
#include "platform/file_time.h"

#include <cstdio>
#include <ctime>

namespace {

std::string IsoTime(std::uint64_t filetime)
{
    const timespec time = FiletimeToTimespec(filetime);
    std::tm parts{};
    char text[64] = "?";
#ifdef _WIN32
    const bool converted = gmtime_s(&parts, &time.tv_sec) == 0;
#else
    const bool converted = gmtime_r(&time.tv_sec, &parts) != nullptr;
#endif
    if (converted)
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

} // namespace

const std::string& EntryPaths::Enter(const ExtractEntry& entry)
{
    current_.clear();
    for (const std::string& folder : folders_)
        current_ += folder + "/";
    const std::string name = ForTerminal(ToDisplayUtf8(entry.name));
    current_ += name;
    if (entry.kind == EntryKind::Directory)
        folders_.push_back(name);
    return current_;
}

void EntryPaths::Leave()
{
    if (!folders_.empty())
        folders_.pop_back();
}

std::string ListingLine(const ExtractEntry& entry, std::string_view path)
{
    if (entry.kind == EntryKind::Directory)
        return std::string(path) + "/";
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "%12llu %s ", static_cast<unsigned long long>(entry.size),
                  IsoTime(entry.lastWriteTime).c_str());
    return prefix + std::string(path);
}
