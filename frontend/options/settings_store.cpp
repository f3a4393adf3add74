#include "frontend/options/settings_store.h"

#include "frontend/create/module_location.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <utility>

namespace {

const QString kIniName = QStringLiteral("ivqa.ini");

QString settingsKey(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}

} // namespace

SettingsStore::SettingsStore(QString iniPath) : iniPath_(std::move(iniPath)) {}

int SettingsStore::readInt(const QString& section, const QString& key, int fallback) const
{
    const QSettings file(iniPath_, QSettings::IniFormat);
    const QVariant value = file.value(settingsKey(section, key));
    // A value holding a comma reads as a list, which is no number either.
    if (!value.isValid() || value.typeId() == QMetaType::QStringList)
        return fallback;
    bool ok = false;
    const int number = value.toString().toInt(&ok, 10);
    return ok ? number : fallback;
}

void SettingsStore::writeInt(const QString& section, const QString& key, int value)
{
    // Stored as text, so that this process reads back what the file holds.
    writeText(section, key, QString::number(value));
}

QString SettingsStore::readText(const QString& section, const QString& key) const
{
    const QSettings file(iniPath_, QSettings::IniFormat);
    const QVariant value = file.value(settingsKey(section, key));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

void SettingsStore::writeText(const QString& section, const QString& key, const QString& value)
{
    // The first write creates the file, and with the per-user location also
    // its folder.
    QDir().mkpath(QFileInfo(iniPath_).absolutePath());
    QSettings file(iniPath_, QSettings::IniFormat);
    file.setValue(settingsKey(section, key), value);
    file.sync();
}

QString chooseIniPath(const ConfigLocationFacts& facts)
{
    if (!facts.overrideDir.isEmpty())
        return QDir(facts.overrideDir).filePath(kIniName);
    if (facts.programDirHoldsIni || (facts.programDirWritable && facts.programDirHoldsModules))
        return QDir(facts.programDir).filePath(kIniName);
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the XDG rules say.
    const QString configHome = !QDir::isAbsolutePath(facts.xdgConfigHome)
        ? QDir(facts.homeDir).filePath(QStringLiteral(".config"))
        : facts.xdgConfigHome;
    return QDir(configHome).filePath(QStringLiteral("ivqa/") + kIniName);
}

ConfigLocationFacts gatherConfigLocationFacts()
{
    ConfigLocationFacts facts;
    facts.overrideDir = qEnvironmentVariable("IVQA_CONFIG_DIR");
    facts.programDir = QCoreApplication::applicationDirPath();
    facts.programDirHoldsIni = QFileInfo::exists(QDir(facts.programDir).filePath(kIniName));
    facts.programDirWritable = QFileInfo(facts.programDir).isWritable();
    facts.programDirHoldsModules = moduleDirOfThisProgram() == facts.programDir;
    facts.xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    facts.homeDir = QDir::homePath();
    return facts;
}
