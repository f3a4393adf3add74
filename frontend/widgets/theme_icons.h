#pragma once

#include <QIcon>
#include <QStyle>

// Icons come from the desktop theme. Outside a desktop session Qt's theme may
// hold none, so Adwaita (installed with the build dependencies) stands behind
// it, and the style's own pixmaps behind that.
void installIconThemeFallback();

QIcon themeIcon(const char* name, QStyle::StandardPixmap styleFallback);
