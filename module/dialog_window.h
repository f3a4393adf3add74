#pragma once
// The module's window. Everything that touches FLTK lives behind this call,
// so that the console mode never starts the toolkit.

#include "module/module_build.h"
#include "module/payload_source.h"
#include "platform/extract_fs.h"

// Shows the dialog and ends the process (status 0) when it closes. Returns
// false, having touched nothing of the toolkit, when no X display can be
// opened.
bool RunWindowMode(const ModuleBuild& build, const PayloadArchive& archive, ExtractFileSystem& fileSystem);
