#include "mixed_corpus.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Source {
    const char* root;
    bool (*take)(const fs::path& path);
    double share;
};

bool IsGz(const fs::path& path)
{
    return path.extension() == ".gz";
}

bool IsSharedLibrary(const fs::path& path)
{
    return path.filename().string().find(".so") != std::string::npos;
}

// The shares of the end-to-end corpus: text, headers, libraries, .gz, and
// one tenth random.
const Source Sources[] = {
    {"/usr/share/doc", [](const fs::path& path) { return !IsGz(path); }, 0.22},
    {"/usr/include", [](const fs::path&) { return true; }, 0.28},
    {"/usr/lib/x86_64-linux-gnu", IsSharedLibrary, 0.30},
    {"/usr/share/doc", IsGz, 0.10},
};

std::vector<fs::path> SortedFiles(const Source& source)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(source.root, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error) && !it->is_symlink(error) && source.take(it->path()))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

void AppendFrom(const Source& source, std::size_t quota, std::vector<std::uint8_t>& out)
{
    const std::size_t end = out.size() + quota;
    for (const fs::path& file : SortedFiles(source)) {
        if (out.size() >= end)
            return;
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::size_t take = std::min(bytes.size(), end - out.size());
        out.insert(out.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
    }
}

} // namespace

std::vector<std::uint8_t> MixedCorpus(std::size_t length)
{
    std::vector<std::uint8_t> corpus;
    corpus.reserve(length);
    for (const Source& source : Sources)
        AppendFrom(source, static_cast<std::size_t>(source.share * static_cast<double>(length)), corpus);
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    while (corpus.size() < length) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        corpus.push_back(static_cast<std::uint8_t>(state >> 56));
    }
    return corpus;
}
