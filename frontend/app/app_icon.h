#pragma once

#include <QIcon>
#include <QString>

// The application's own icon, in every size rendered into the program, for
// the windows and the task bar.
QIcon applicationIcon();

// The desktop entry's name without ".desktop", which the window system uses
// to match windows to the entry.
inline const QString kDesktopFileName = QStringLiteral("example.ironquiver.Ironquiver");
