#include "forms_fixture.h"

#include "frontend/main/TfmMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

FormsFixture::FormsFixture()
    : store_(std::make_unique<SettingsStore>(QDir(dir_.path()).filePath("ivqa.ini")))
{
    QDir(dir_.path()).mkpath("data");
}

FormsFixture::~FormsFixture() = default;

FormSet& FormsFixture::start()
{
    FormServices services;
    services.moduleDir = qEnvironmentVariable("IVQA_BIN_DIR");
    return start(std::move(services));
}

FormSet& FormsFixture::start(FormServices services)
{
    services_ = services;
    forms_ = std::make_unique<FormSet>(*store_, std::move(services));
    return *forms_;
}

void FormsFixture::stop()
{
    forms_.reset();
}

FormSet& FormsFixture::restart()
{
    stop();
    return start(services_);
}

QString FormsFixture::iniPath() const
{
    return store_->filePath();
}

void FormsFixture::writeIni(const QByteArray& text) const
{
    writeFile(iniPath(), text);
}

QByteArray FormsFixture::readIni() const
{
    return readFile(iniPath());
}

QString FormsFixture::path(const QString& relative) const
{
    return QDir(dir_.path()).filePath(QStringLiteral("data/") + relative);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

QStringList rows(const TfmMain& main)
{
    const InputListModel& list = main.inputList();
    QStringList all;
    for (int row = 0; row < list.rowCount(); ++row) {
        QStringList cells{list.entry(row).kind == EntryKind::Folder ? "D" : "F"};
        for (int column = 0; column < list.columnCount(); ++column)
            cells << list.data(list.index(row, column), Qt::DisplayRole).toString();
        all << cells.join('|');
    }
    return all;
}
