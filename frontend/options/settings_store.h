#pragma once

#include <QString>

// The settings file "ivqa.ini", read and written key by key. Every call opens
// the file anew and every write is synced at once, so there is no cache that
// could disagree with the file and no separate save step.
class SettingsStore {
public:
    explicit SettingsStore(QString iniPath);

    const QString& filePath() const { return iniPath_; }

    // `fallback` when the file, the section or the key is missing, or when the
    // value is not a decimal integer.
    int readInt(const QString& section, const QString& key, int fallback) const;
    void writeInt(const QString& section, const QString& key, int value);
    // Text as stored; empty when missing.
    QString readText(const QString& section, const QString& key) const;
    void writeText(const QString& section, const QString& key, const QString& value);

private:
    QString iniPath_;
};

// What the location rule of the settings file looks at.
struct ConfigLocationFacts {
    QString overrideDir;      // IVQA_CONFIG_DIR; wins when not empty
    QString programDir;       // the folder of the program file
    bool programDirHoldsIni = false;
    bool programDirWritable = false;
    // The modules lie beside the program (a build or unpacked folder), not in
    // an installed tree's private folder.
    bool programDirHoldsModules = true;
    QString xdgConfigHome;    // XDG_CONFIG_HOME, may be empty
    QString homeDir;
};

// The settings file lies beside the program when that folder already holds one
// or is writable, else in $XDG_CONFIG_HOME/ivqa/ (default ~/.config/ivqa/). An
// installed program never writes into its bin folder, even when that is
// writable, as /usr/bin is for root.
QString chooseIniPath(const ConfigLocationFacts& facts);

// The facts of this process (needs a QCoreApplication for the program folder).
ConfigLocationFacts gatherConfigLocationFacts();
