#include "wine_runner.h"

#include <algorithm>
#include <cstdlib>

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string WindowsPath(const std::string& linuxPath)
{
    std::string path = "Z:" + linuxPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

ProcessResult RunWine(const std::string& program, std::vector<std::string> args, const std::string& input,
                      const std::string& directory)
{
    args.insert(args.begin(), program);
    ProcessOptions options;
    options.input = input;
    options.workingDirectory = directory;
    return RunProcess(Env("IVQA_WINE64"), args, options);
}
