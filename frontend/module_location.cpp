#include "frontend/module_location.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#ifndef IVQA_PRIVATE_DIR_FROM_BIN
#error "the build must name the private folder relative to the programs' folder"
#endif

namespace {

bool holdsAModule(const QDir& dir)
{
    for (const char* name : {"GUI_en.iqm", "GUI_ru.iqm", "GUI_en.exe.iqm", "GUI_ru.exe.iqm"})
        if (QFileInfo::exists(dir.filePath(QLatin1String(name))))
            return true;
    return false;
}

} // namespace

QString locateModuleDir(const QString& programDir, const QString& privateDirFromProgram)
{
    const QDir own(programDir);
    if (holdsAModule(own))
        return programDir;
    const QString installed = QDir::cleanPath(own.filePath(privateDirFromProgram));
    // Neither holds one: Create then names the program's folder in its failure.
    return holdsAModule(QDir(installed)) ? installed : programDir;
}

QString moduleDirOfThisProgram()
{
    return locateModuleDir(QCoreApplication::applicationDirPath(),
                           QStringLiteral(IVQA_PRIVATE_DIR_FROM_BIN));
}
