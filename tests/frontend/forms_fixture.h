#pragma once

#include "frontend/app/form_set.h"
#include "frontend/options/settings_store.h"
#include "ui_driver.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A run of the front end's forms over a settings file in a temporary folder,
// never the user's: start, stop and restart them as the program would.
class FormsFixture {
public:
    FormsFixture();
    ~FormsFixture();

    // The forms over the real library, with the modules of the build
    // (IVQA_BIN_DIR), or over the given services.
    FormSet& start();
    FormSet& start(FormServices services);
    void stop();
    FormSet& restart();
    FormSet& forms() { return *forms_; }

    QString iniPath() const;
    void writeIni(const QByteArray& text) const;
    QByteArray readIni() const;
    // A path below the temporary folder, apart from the settings file.
    QString path(const QString& relative) const;

private:
    UnexpectedBoxGuard guard_;
    QTemporaryDir dir_;
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<FormSet> forms_;
    FormServices services_;
};

class TfmMain;

// Every row of the main window's input list as "F|name|path|level" or
// "D|...", from what the list shows.
QStringList rows(const TfmMain& main);

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
