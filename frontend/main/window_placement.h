#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

// Where a window stored at `frame` is placed: where it was, unless its title
// strip shows on no screen (a monitor since unplugged, a smaller resolution,
// a hand-edited settings file); then as near as it fits inside `primary`.
QPoint placeOnScreen(const QRect& frame, const QList<QRect>& screens, const QRect& primary);

// The same over the screens of this session (their available areas).
QPoint placeOnScreen(const QRect& frame);
