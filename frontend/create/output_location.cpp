#include "frontend/create/output_location.h"

#include "creation/output_identity.h"
#include "frontend/app/native_path.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The real folder of `path` with its last component as written; empty when
// the folder does not exist.
QString resolvedParent(const QString& path)
{
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        return QString();
    if (info.fileName().isEmpty())
        return folder;
    return folder == QStringLiteral("/") ? folder + info.fileName() : folder + QLatin1Char('/') + info.fileName();
}

QString resolvedOutput(const QString& path)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    return real.isEmpty() ? resolvedParent(path) : real;
}

// By the paths' text, resolved: also an entry that does not exist (yet).
bool pathAmongInputs(const QString& outputPath, const std::vector<InputEntry>& entries)
{
    const QString output = resolvedOutput(outputPath);
    if (output.isEmpty())
        return false;
    for (const InputEntry& entry : entries) {
        const QString fullPath = entry.fullPath();
        const bool root = entry.kind == EntryKind::Folder && fullPath == QStringLiteral("/");
        const QString input = root ? fullPath : resolvedParent(fullPath);
        if (input.isEmpty())
            continue;
        if (output == input)
            return true;
        if (entry.kind == EntryKind::Folder && (root || output.startsWith(input + QLatin1Char('/'))))
            return true;
    }
    return false;
}

} // namespace

bool outputAmongInputs(const QString& outputPath, const std::vector<InputEntry>& entries)
{
    if (pathAmongInputs(outputPath, entries))
        return true;
    // By device and inode, as the writer compares: links, bind mounts.
    std::vector<std::string> inputs;
    for (const InputEntry& entry : entries)
        inputs.push_back(nativeFromPath(entry.fullPath()).toStdString());
    return FindOutputAmongInputs(nativeFromPath(outputPath).toStdString(), inputs) != OutputClash::None;
}
