// The settings reader over any file content: every key reads as a value in
// its control's range, whatever the file holds.

#include "frontend/settings_store.h"
#include "frontend/settings_table.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

const SettingKey* const Keys[] = {
    &Settings::Cipher,     &Settings::CompLevel,   &Settings::WipeAlg,       &Settings::PassCnt,
    &Settings::InFileAct,  &Settings::ModLang,     &Settings::WndLeft,       &Settings::WndTop,
    &Settings::WndHeight,  &Settings::WndWidth,    &Settings::PassGenLength, &Settings::PassGenNum,
    &Settings::KeyFileGenSize,
};

std::unique_ptr<QCoreApplication> g_application;
std::unique_ptr<QTemporaryDir> g_directory;
unsigned g_files = 0;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    g_application = std::make_unique<QCoreApplication>(*argc, *argv);
    g_directory = std::make_unique<QTemporaryDir>();
    if (!g_directory->isValid())
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A new name every time: QSettings caches files by name and could serve
    // the previous content of one rewritten within the same second.
    const QString path = QDir(g_directory->path()).filePath(QStringLiteral("ivqa-%1.ini").arg(++g_files));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    const SettingsStore store(path);
    for (const SettingKey* key : Keys) {
        const int value = readSetting(store, *key);
        if (value < key->minimum || value > key->maximum) {
            std::fprintf(stderr, "%s/%s read as %d\n", key->section, key->key, value);
            std::abort();
        }
    }
    QFile::remove(path);
    return 0;
}
