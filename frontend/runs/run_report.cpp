#include "frontend/runs/run_report.h"

#include "platform/utf.h"

#include <QDir>
#include <QFile>
#include <QLocale>

namespace {

// More names than this would make the box taller than a screen.
constexpr std::size_t kKeptNamesShown = 5;

QString entryCount(std::uint64_t count)
{
    return count == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(count);
}

QString inputFilesText(const InputFilesReport& files)
{
    if (files.notVerified)
        return QStringLiteral("The input files were left in place: the archive could not be verified (%1).")
            .arg(*files.notVerified);
    const QString verb = files.mode == WipeMode::Wipe ? QStringLiteral("wiped") : QStringLiteral("deleted");
    QString text = QStringLiteral("Input files %1: %2").arg(verb, entryCount(files.removed));
    if (files.stopped)
        text += QStringLiteral(", then the removal stopped");
    if (files.kept.empty())
        return text + QLatin1Char('.');
    text += QStringLiteral("; %1 kept:").arg(files.kept.size());
    for (std::size_t i = 0; i < files.kept.size() && i < kKeptNamesShown; ++i)
        text += QStringLiteral("\n%1 (%2)")
                    .arg(QDir::toNativeSeparators(QFile::decodeName(files.kept[i].path.c_str())),
                         QString::fromUtf8(KeptReasonText(files.kept[i].reason)));
    if (files.kept.size() > kKeptNamesShown)
        text += QStringLiteral("\n... and %1 more").arg(files.kept.size() - kKeptNamesShown);
    return text;
}

} // namespace

QString completionText(const ArchiveReport& report)
{
    QStringList parts;
    parts << QStringLiteral("The archive was written:\n%1\n%2, %3.")
                 .arg(QDir::toNativeSeparators(report.path), QLocale().formattedDataSize(report.size),
                      entryCount(report.entries));
    if (report.escapedNames > 0)
        parts << QString::fromStdString(EscapedNamesNote(report.escapedNames));
    if (report.inputFiles)
        parts << inputFilesText(*report.inputFiles);
    if (!report.browserPage.isEmpty())
        parts << QStringLiteral("A recipient who cannot run it can open it in a web browser with the page\n%1")
                     .arg(QDir::toNativeSeparators(report.browserPage));
    return parts.join(QStringLiteral("\n\n"));
}

QString wipeStatusLine(const RunOutcome& outcome, std::size_t entries)
{
    switch (outcome.end) {
    case RunEnd::Completed:
        return QStringLiteral("Wipe done: %1 wiped.").arg(entryCount(entries));
    case RunEnd::Aborted:
        return QStringLiteral("Wipe aborted: %1 wiped before Break.").arg(entryCount(entries));
    case RunEnd::Failed:
        break;
    }
    return QStringLiteral("Wipe stopped by an error: %1 wiped.").arg(entryCount(entries));
}
