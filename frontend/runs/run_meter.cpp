#include "frontend/runs/run_meter.h"

#include "platform/utf.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace {

std::uint64_t stepsOf(std::uint64_t size, std::uint64_t bytesPerStep)
{
    return size / bytesPerStep + (size % bytesPerStep != 0 ? 1 : 0);
}

QString duration(double seconds)
{
    const auto whole = static_cast<std::uint64_t>(std::ceil(seconds));
    const std::uint64_t hours = whole / 3600;
    const std::uint64_t minutes = whole / 60 % 60;
    const std::uint64_t rest = whole % 60;
    if (hours > 0)
        return QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QLatin1Char('0')).arg(rest, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(minutes).arg(rest, 2, 10, QLatin1Char('0'));
}

} // namespace

RunSize measureRun(const std::vector<RunEntry>& entries, std::uint64_t bytesPerStep, std::uint64_t stepsPerBlock)
{
    namespace fs = std::filesystem;
    RunSize size;
    const auto count = [&](const fs::directory_entry& entry) {
        std::error_code error;
        if (!entry.is_regular_file(error))
            return;
        const std::uint64_t bytes = entry.file_size(error);
        if (error)
            return;
        size.bytes += bytes;
        size.steps += stepsOf(bytes, bytesPerStep) * stepsPerBlock;
    };
    for (const RunEntry& entry : entries) {
        const std::optional<std::string> path = Utf16ToName(entry.path);
        if (!path)
            continue;
        std::error_code error;
        const fs::directory_entry top(fs::path(*path), error);
        if (error)
            continue;
        if (entry.kind == EntryKind::File) {
            count(top);
            continue;
        }
        for (fs::recursive_directory_iterator walk(top.path(), fs::directory_options::skip_permission_denied, error), end;
             !error && walk != end; walk.increment(error))
            count(*walk);
    }
    return size;
}

QString progressLine(const RunSize& size, std::uint64_t stepsDone, double elapsedSeconds)
{
    if (size.steps == 0)
        return QString();
    const double done = std::min(1.0, static_cast<double>(stepsDone) / static_cast<double>(size.steps));
    QString line = QStringLiteral("%1% of %2").arg(static_cast<int>(done * 100)).arg(QLocale().formattedDataSize(
        static_cast<qint64>(size.bytes)));
    if (elapsedSeconds < 1.0 || done <= 0.0)
        return line;
    const double bytesPerSecond = done * static_cast<double>(size.bytes) / elapsedSeconds;
    line += QStringLiteral(", %1/s").arg(QLocale().formattedDataSize(static_cast<qint64>(bytesPerSecond)));
    if (done < 1.0)
        line += QStringLiteral(", %1 left").arg(duration(elapsedSeconds * (1.0 - done) / done));
    return line;
}
