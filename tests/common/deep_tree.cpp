#include "deep_tree.h"

#include "platform/unique_fd.h"

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <stdexcept>
#include <sys/stat.h>

namespace {

constexpr int DirFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string LevelFile(int level)
{
    return "f" + std::to_string(level);
}

std::string LevelText(int level)
{
    return "level " + std::to_string(level);
}

void WriteAt(int dirFd, const std::string& name, const std::string& text)
{
    UniqueFd file(::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!file || ::write(file.Get(), text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("cannot write " + name);
}

std::string ReadAt(int dirFd, const std::string& name)
{
    UniqueFd file(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file)
        return "<missing>";
    std::string text(256, '\0');
    const ssize_t got = ::read(file.Get(), text.data(), text.size());
    text.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return text;
}

std::set<std::string> NamesIn(int dirFd)
{
    std::set<std::string> names;
    DIR* listing = fdopendir(::dup(dirFd));
    if (listing == nullptr)
        return names;
    while (const dirent* entry = readdir(listing))
        if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
            names.insert(entry->d_name);
    closedir(listing);
    return names;
}

} // namespace

void MakeDeepTree(const std::string& root, int depth, int fileEvery)
{
    if (::mkdir(root.c_str(), 0755) != 0)
        throw std::runtime_error("cannot create " + root);
    UniqueFd level(::open(root.c_str(), DirFlags));
    for (int n = 1; n <= depth; ++n) {
        if (!level || ::mkdirat(level.Get(), "d", 0755) != 0)
            throw std::runtime_error("cannot create level " + std::to_string(n));
        level = UniqueFd(::openat(level.Get(), "d", DirFlags));
        if (n % fileEvery == 0)
            WriteAt(level.Get(), LevelFile(n), LevelText(n));
    }
    WriteAt(level.Get(), "leaf.txt", "the bottom");
}

std::string DeepTreeDifference(const std::string& root, int depth, int fileEvery)
{
    UniqueFd level(::open(root.c_str(), DirFlags));
    for (int n = 0; n <= depth; ++n) {
        if (!level)
            return "level " + std::to_string(n) + " cannot be opened";
        std::set<std::string> expected;
        if (n < depth)
            expected.insert("d");
        else
            expected.insert("leaf.txt");
        if (n > 0 && n % fileEvery == 0)
            expected.insert(LevelFile(n));
        if (NamesIn(level.Get()) != expected)
            return "level " + std::to_string(n) + " holds other entries";
        if (n > 0 && n % fileEvery == 0 && ReadAt(level.Get(), LevelFile(n)) != LevelText(n))
            return "level " + std::to_string(n) + " has another file";
        if (n == depth)
            return ReadAt(level.Get(), "leaf.txt") == "the bottom" ? "" : "the leaf differs";
        level = UniqueFd(::openat(level.Get(), "d", DirFlags));
    }
    return "";
}

void RemoveDeepTree(const std::string& root)
{
    // rm walks any depth.
    const std::string command = "rm -rf -- '" + root + "'";
    if (std::system(command.c_str()) != 0)
        return;
}

OpenFileLimit::OpenFileLimit(rlim_t soft)
{
    if (::getrlimit(RLIMIT_NOFILE, &saved_) != 0)
        throw std::runtime_error("getrlimit failed");
    rlimit lowered = saved_;
    lowered.rlim_cur = soft < saved_.rlim_max ? soft : saved_.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &lowered) != 0)
        throw std::runtime_error("setrlimit failed");
}

OpenFileLimit::~OpenFileLimit()
{
    (void)::setrlimit(RLIMIT_NOFILE, &saved_);
}
