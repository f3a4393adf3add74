#include "frontend/create/run_precheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kKeyfileMessage = QStringLiteral("Can not open keyfile!");
const QString kArchiveMessage = QStringLiteral("Can not create archive file!");

QString detail(const QString& message, const QString& path, const QString& reason)
{
    return QStringLiteral("%1\n\"%2\": %3").arg(message, QDir::toNativeSeparators(path), reason);
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Whether the location names a local file, and which.
std::optional<QString> localPath(const QString& location)
{
    static const QString filePrefix = QStringLiteral("file://");
    if (location.startsWith(filePrefix, Qt::CaseInsensitive))
        return location.mid(filePrefix.size());
    if (location.contains(QStringLiteral("://")))
        return std::nullopt;
    return location;
}

} // namespace

std::optional<QString> keyfileProblem(const QString& location)
{
    const std::optional<QString> path = location.isEmpty() ? std::nullopt : localPath(location);
    if (!path)
        return std::nullopt;
    const QByteArray native = QFile::encodeName(*path);
    // Looked at before it is opened: opening a device or a FIFO can do
    // something, or wait.
    struct stat info {};
    if (::stat(native.constData(), &info) != 0)
        return detail(kKeyfileMessage, *path, systemReason(errno));
    if (!S_ISREG(info.st_mode))
        return detail(kKeyfileMessage, *path, QStringLiteral("not a regular file"));
    // Non-blocking all the same, should the name have changed meanwhile.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return detail(kKeyfileMessage, *path, systemReason(errno));
    ::close(fd);
    return std::nullopt;
}

std::optional<QString> outputProblem(const QString& outputPath)
{
    const QFileInfo output(outputPath);
    if (output.isDir())
        return detail(kArchiveMessage, outputPath, QStringLiteral("is a folder"));
    const QString folder = output.absolutePath();
    struct stat info {};
    const QByteArray native = QFile::encodeName(folder);
    if (::stat(native.constData(), &info) != 0)
        return detail(kArchiveMessage, folder, systemReason(errno));
    if (!S_ISDIR(info.st_mode))
        return detail(kArchiveMessage, folder, QStringLiteral("not a folder"));
    // access() also answers for a read-only file system.
    if (::access(native.constData(), W_OK | X_OK) != 0)
        return detail(kArchiveMessage, folder, systemReason(errno));
    return std::nullopt;
}
