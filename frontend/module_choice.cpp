#include "frontend/module_choice.h"

#include <QFileInfo>

namespace ModuleChoice {

namespace {

constexpr int kWindows = 1;

} // namespace

QString moduleFileName(int modLang, int modTarget)
{
    const char* language = modLang == 0 ? "en" : modLang == 1 ? "ru" : nullptr;
    const char* system = modTarget == 0 ? "" : modTarget == kWindows ? ".exe" : nullptr;
    if (!language || !system)
        return {};
    return QStringLiteral("GUI_%1%2.iqm").arg(QLatin1String(language), QLatin1String(system));
}

QString archiveSuffix(int modTarget)
{
    return modTarget == kWindows ? QStringLiteral(".exe") : QStringLiteral(".run");
}

QString archiveNameFilter(int modTarget)
{
    return QStringLiteral("Self-Decrypting Archives (*%1)").arg(archiveSuffix(modTarget));
}

QString withArchiveSuffix(const QString& path, int modTarget)
{
    const QString suffix = archiveSuffix(modTarget);
    return QFileInfo(path).fileName().endsWith(suffix, Qt::CaseSensitive) ? path : path + suffix;
}

} // namespace ModuleChoice
