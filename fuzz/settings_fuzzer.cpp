// The settings reader over any file content: every key reads as a value in
// its control's range, whatever the file holds.

#include "frontend/options/settings_store.h"
#include "frontend/options/settings_table.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const SettingKey* const Keys[] = {
    &Settings::Cipher,     &Settings::CompLevel,   &Settings::WipeAlg,       &Settings::PassCnt,
    &Settings::InFileAct,  &Settings::ModLang,     &Settings::WndLeft,       &Settings::WndTop,
    &Settings::WndHeight,  &Settings::WndWidth,    &Settings::PassGenLength, &Settings::PassGenNum,
    &Settings::KeyFileGenSize, &Settings::ModTarget,
};

// Kept to the end of the process: destroyed at exit, after Qt's own
// globals, they would crash.
QCoreApplication* g_application = nullptr;
std::string g_directory;
long g_writes = 0;

void RemoveDirectory()
{
    ::unlink((g_directory + "/ivqa.ini").c_str());
    ::rmdir(g_directory.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    g_application = std::make_unique<QCoreApplication>(*argc, *argv).release();
    char pattern[] = "/tmp/ivqa-settings-fuzz-XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
        std::abort();
    g_directory = pattern;
    std::atexit(&RemoveDirectory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string file = g_directory + "/ivqa.ini";
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)))
        std::abort();
    // QSettings caches a file until its time or size changes: a new time for
    // every input makes it read each one.
    const timespec times[2] = {{++g_writes, 0}, {g_writes, 0}};
    ::futimens(fd, times);
    ::close(fd);
    const QString path = QString::fromStdString(file);
    const SettingsStore store(path);
    for (const SettingKey* key : Keys) {
        const int value = readSetting(store, *key);
        if (value < key->minimum || value > key->maximum) {
            std::fprintf(stderr, "%s/%s read as %d\n", key->section, key->key, value);
            std::abort();
        }
    }
    return 0;
}
