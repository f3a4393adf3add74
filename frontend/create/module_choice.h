#pragma once

#include <QString>

// Which self-decrypting module heads an archive, and the name the archive
// gets, by the Options' module language (0 English, 1 Russian) and the
// recipient's system (0 Linux, 1 Windows).
namespace ModuleChoice {

// "GUI_en.iqm", "GUI_ru.iqm", "GUI_en.exe.iqm" or "GUI_ru.exe.iqm"; empty
// when either index chooses none.
QString moduleFileName(int modLang, int modTarget);

// ".exe" for Windows, ".run" for Linux (and for no choice, which copies no
// module anyway).
QString archiveSuffix(int modTarget);

// The save dialog's filter for the archive of that system.
QString archiveNameFilter(int modTarget);

// `path` with the suffix appended unless its name ends in exactly that
// suffix (compared case-sensitively).
QString withArchiveSuffix(const QString& path, int modTarget);

} // namespace ModuleChoice
