// The input-list reader over any bytes. Besides never failing, what it
// reads from a well-formed list must survive being saved and read again.

#include "frontend/main/list_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int DefaultLevel = 7;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "list file round trip: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ListFileContents parsed =
        parseListFile(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));

    std::vector<InputEntry> entries;
    for (const ListFileLine& line : parsed.lines) {
        if (line.path.isEmpty())
            Fail("a line without a path was kept");
        if (line.level && (*line.level < 0 || *line.level > 9))
            Fail("level out of range");
        const int level = line.level.value_or(DefaultLevel);
        entries.push_back(line.kind == EntryKind::Folder ? makeFolderEntry(line.path, level)
                                                         : makeFileEntry(line.path, level));
    }

    const ListFileContents again = parseListFile(formatListFile(entries));
    if (!again.wellFormed)
        Fail("a saved list reads as malformed");
    if (again.lines.size() != entries.size())
        Fail("a saved list reads back another number of entries");
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ListFileLine& line = again.lines[i];
        if (line.kind != entries[i].kind)
            Fail("kind changed");
        if (line.path != entries[i].fullPath())
            Fail("path changed");
        if (line.level != entries[i].level)
            Fail("level changed");
    }
    return 0;
}
