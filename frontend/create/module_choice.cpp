#include "frontend/create/module_choice.h"

#include "common/module_files.h"

#include <QFileInfo>

#include <optional>

namespace ModuleChoice {

namespace {

std::optional<TargetSystem> systemOf(int modTarget)
{
    if (modTarget == 0)
        return TargetSystem::Linux;
    if (modTarget == 1)
        return TargetSystem::Windows;
    return std::nullopt;
}

QString fromView(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QString moduleFileName(int modLang, int modTarget)
{
    const char* language = modLang == 0 ? "en" : modLang == 1 ? "ru" : nullptr;
    const std::optional<TargetSystem> system = systemOf(modTarget);
    const KnownModule* module = language && system ? FindKnownModule(language, *system) : nullptr;
    return module ? fromView(module->fileName) : QString();
}

QString archiveSuffix(int modTarget)
{
    return fromView(ArchiveExtension(systemOf(modTarget).value_or(TargetSystem::Linux)));
}

QString archiveNameFilter(int modTarget)
{
    return QStringLiteral("Self-Decrypting Archives (*%1)").arg(archiveSuffix(modTarget));
}

QString withArchiveSuffix(const QString& path, int modTarget)
{
    // Compared in the path's own text: a native name need not survive a
    // round trip through UTF-8.
    const QString suffix = archiveSuffix(modTarget);
    return QFileInfo(path).fileName().endsWith(suffix, Qt::CaseSensitive) ? path : path + suffix;
}

} // namespace ModuleChoice
