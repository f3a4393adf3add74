#pragma once

#include <QString>

// The first step of every archive: the self-decrypting module copied byte
// for byte to the output path, which the library then extends.
enum class ModuleCopy {
    Done,
    // The output was not touched: no module chosen, the module is missing
    // or unreadable, the output cannot be created, or it is the module.
    NothingWritten,
    // The output was opened (and truncated) but not completed.
    PartlyWritten,
};

ModuleCopy copyModule(const QString& modulePath, const QString& outputPath);

// An archive is a program: 0755 less the umask.
bool makeExecutable(const QString& path);
