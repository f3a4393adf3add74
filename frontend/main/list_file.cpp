#include "frontend/main/list_file.h"

#include "frontend/app/native_path.h"

namespace {

std::vector<QString> splitLines(const QString& text)
{
    std::vector<QString> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.push_back(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.mid(start));
    return lines;
}

} // namespace

ListFileContents parseListFile(QByteArrayView bytes)
{
    ListFileContents contents;
    // Paths that are not UTF-8 stay the bytes they are.
    for (QString line : splitLines(pathFromNative(bytes))) {
        if (line.size() < 3)
            continue;
        ListFileLine parsed;
        if (line.startsWith(QLatin1Char('*'))) {
            parsed.kind = EntryKind::Folder;
            line.remove(0, 1);
        }
        if (line.size() < 2 || line.at(line.size() - 2) != QLatin1Char(':')
            || line.contains(QChar(0))) {
            contents.wellFormed = false;
            return contents;
        }
        const QChar levelChar = line.back();
        if (levelChar >= QLatin1Char('0') && levelChar <= QLatin1Char('9'))
            parsed.level = levelChar.unicode() - u'0';
        line.chop(2);
        if (line.isEmpty())
            continue;
        parsed.path = line;
        contents.lines.push_back(std::move(parsed));
    }
    return contents;
}

QByteArray formatListFile(const std::vector<InputEntry>& entries)
{
    QByteArray bytes;
    for (const InputEntry& entry : entries) {
        if (entry.kind == EntryKind::Folder)
            bytes += '*';
        bytes += nativeFromPath(entry.fullPath());
        bytes += ':';
        bytes += static_cast<char>('0' + entry.level);
        bytes += "\r\n";
    }
    return bytes;
}

QString withListExtension(const QString& fileName)
{
    const qsizetype nameStart = fileName.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const bool hasListExtension = dot >= nameStart
        && fileName.mid(dot).compare(QLatin1String(".iq"), Qt::CaseInsensitive) == 0;
    return hasListExtension ? fileName : fileName + QStringLiteral(".iq");
}
