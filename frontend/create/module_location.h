#pragma once

#include <QString>

// Where the self-decrypting modules lie: in the program's own folder (a build
// or unpacked folder), or, for an installed program, in the private folder
// of its tree, named relative to the program so that a relocated tree finds
// its own. The program's folder wins when it holds any of the modules.
QString locateModuleDir(const QString& programDir, const QString& privateDirFromProgram);

// The same for this process (needs a QCoreApplication for the program folder).
QString moduleDirOfThisProgram();
