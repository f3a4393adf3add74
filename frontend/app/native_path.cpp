#include "frontend/app/native_path.h"

#include "platform/utf.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <climits>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char16_t Replacement = 0xFFFD;

bool existsUnfollowed(const QString& path)
{
    struct stat info {};
    return ::lstat(nativeFromPath(path).constData(), &info) == 0;
}

// The one entry of `folder` that Qt shows as `shown`, or `shown` itself
// when there is none or more than one.
QString entryShownAs(const QString& folder, const QString& shown)
{
    struct Closer {
        void operator()(DIR* listing) const { closedir(listing); }
    };
    const std::unique_ptr<DIR, Closer> listing(::opendir(nativeFromPath(folder.isEmpty() ? "/" : folder).constData()));
    if (!listing)
        return shown;
    QString found;
    int matches = 0;
    while (const dirent* entry = ::readdir(listing.get())) {
        if (QFile::decodeName(entry->d_name) == shown) {
            found = pathFromNative(entry->d_name);
            ++matches;
        }
    }
    return matches == 1 ? found : shown;
}

} // namespace

QString pathFromNative(QByteArrayView bytes)
{
    return QString::fromStdU16String(NameToUtf16(std::string_view(bytes.data(), bytes.size())));
}

QByteArray nativeFromPath(const QString& path)
{
    const std::optional<std::string> bytes = Utf16ToName(path.toStdU16String());
    // A surrogate that stands for no byte has no name to go to.
    if (!bytes)
        return path.toUtf8();
    return QByteArray(bytes->data(), static_cast<qsizetype>(bytes->size()));
}

QString exactLocalPath(const QString& decoded)
{
    if (!decoded.contains(QChar(Replacement)) || existsUnfollowed(decoded))
        return decoded;
    const QStringList components = decoded.split(QLatin1Char('/'));
    QString exact = components.first();
    for (qsizetype i = 1; i < components.size(); ++i) {
        const QString& component = components[i];
        const QString written = exact + QLatin1Char('/') + component;
        exact = component.contains(QChar(Replacement)) && !existsUnfollowed(written)
                    ? exact + QLatin1Char('/') + entryShownAs(exact, component)
                    : written;
    }
    return exact;
}

QString pathFromLocalUrl(const QUrl& url)
{
    return pathFromNative(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

PathKind nativePathKind(const QString& path)
{
    struct stat info {};
    if (::stat(nativeFromPath(path).constData(), &info) != 0)
        return PathKind::Missing;
    return S_ISDIR(info.st_mode) ? PathKind::Directory : PathKind::File;
}

QString absoluteNativePath(const QString& path)
{
    if (path.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(path);
    char working[PATH_MAX];
    if (::getcwd(working, sizeof working) == nullptr)
        return QDir::cleanPath(path);
    return QDir::cleanPath(pathFromNative(working) + QLatin1Char('/') + path);
}
