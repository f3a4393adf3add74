#pragma once
// The module's window on Windows: the dialog resource 101 run as a modal
// dialog box over the toolkit-free dialog logic.

#include "module/module_build.h"
#include "module/payload_source.h"
#include "platform/extract_fs.h"

// Shows the dialog; every way out of it ends the process with status 0.
void RunDialog(const ModuleBuild& build, const PayloadArchive& archive, ExtractFileSystem& fileSystem);

// Control ids of the dialog resource.
inline constexpr int IdExit = 1001;
inline constexpr int IdBrowse = 1002;
inline constexpr int IdExtract = 1003;
inline constexpr int IdHelp = 1004;
inline constexpr int IdDestination = 1005;
inline constexpr int IdPassphrase = 1006;
inline constexpr int IdKeyfile = 1007;
inline constexpr int IdSelectKeyfile = 1014;
inline constexpr int IdStatusLog = 1028;
inline constexpr int DialogResource = 101;
inline constexpr int IconResource = 105;
