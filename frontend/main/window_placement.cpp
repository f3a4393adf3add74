#include "frontend/main/window_placement.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace {

// Enough of the title bar to grab the window with the mouse.
constexpr int kTitleStrip = 24;
constexpr int kGrabWidth = 48;

bool titleShows(const QRect& frame, const QRect& screen)
{
    const QRect strip(frame.left(), frame.top(), frame.width(), kTitleStrip);
    const QRect seen = strip.intersected(screen);
    return seen.height() >= std::min(kTitleStrip, strip.height()) / 2
           && seen.width() >= std::min(kGrabWidth, strip.width());
}

int clampStart(int start, int length, int areaStart, int areaLength)
{
    // A window larger than the area starts at its beginning.
    return std::max(areaStart, std::min(start, areaStart + areaLength - length));
}

} // namespace

QPoint placeOnScreen(const QRect& frame, const QList<QRect>& screens, const QRect& primary)
{
    for (const QRect& screen : screens)
        if (titleShows(frame, screen))
            return frame.topLeft();
    return {clampStart(frame.x(), frame.width(), primary.x(), primary.width()),
            clampStart(frame.y(), frame.height(), primary.y(), primary.height())};
}

QPoint placeOnScreen(const QRect& frame)
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return frame.topLeft();
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    return placeOnScreen(frame, areas, primary->availableGeometry());
}
