#include "frontend/create/module_location.h"

#include "common/module_files.h"
#include "frontend/app/native_path.h"

#include <QCoreApplication>
#include <QDir>

#ifndef IVQA_PRIVATE_DIR_FROM_BIN
#error "the build must name the private folder relative to the programs' folder"
#endif

QString locateModuleDir(const QString& programDir, const QString& privateDirFromProgram)
{
    const QByteArray own = nativeFromPath(programDir);
    const std::string found = ModuleDirectory(own.toStdString(), nativeFromPath(privateDirFromProgram).toStdString());
    return found == own.toStdString() ? programDir
                                      : QDir::cleanPath(pathFromNative(QByteArrayView(found.data(), qsizetype(found.size()))));
}

QString moduleDirOfThisProgram()
{
    return locateModuleDir(QCoreApplication::applicationDirPath(),
                           QStringLiteral(IVQA_PRIVATE_DIR_FROM_BIN));
}
