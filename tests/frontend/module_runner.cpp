#include "module_runner.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>

Extraction extractArchive(const QString& archive, const QString& destination, const QByteArray& input,
                          const QStringList& extra)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    process.setProcessEnvironment(environment);
    process.start(archive, QStringList{"--console", "--dest", destination} + extra);
    Extraction result;
    if (!process.waitForStarted(10000))
        return result;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = process.readAllStandardOutput();
    result.errors = process.readAllStandardError();
    return result;
}

namespace {

QStringList listing(const QString& root)
{
    QStringList entries;
    QDirIterator walk(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                      QDirIterator::Subdirectories);
    const QDir base(root);
    while (walk.hasNext()) {
        walk.next();
        const QString relative = base.relativeFilePath(walk.filePath());
        entries << (walk.fileInfo().isDir() ? relative + '/' : relative);
    }
    entries.sort();
    return entries;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

QString treeDifference(const QString& expected, const QString& actual)
{
    const QStringList want = listing(expected);
    const QStringList got = listing(actual);
    if (want != got)
        return QString("entries differ:\n  expected %1\n  actual   %2").arg(want.join(' '), got.join(' '));
    for (const QString& entry : want) {
        if (entry.endsWith('/'))
            continue;
        if (contents(QDir(expected).filePath(entry)) != contents(QDir(actual).filePath(entry)))
            return "bytes differ: " + entry;
    }
    return {};
}

QByteArray noise(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = seed * 2654435761u + 1;
    for (qsizetype i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = static_cast<char>(state);
    }
    return bytes;
}
