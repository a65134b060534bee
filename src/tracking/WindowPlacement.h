#pragma once

#include <QList>
#include <QRect>

// Where the main window comes back on the desktop: pure rules over rectangles, so they are tested
// without screens.
namespace WindowPlacement {

// Whether a window with this frame can be taken by its title bar: a piece of its top strip, at
// least 100 pixels wide (the whole width of a narrower window) and as tall as the strip, lies on
// one of the screens' available areas.
bool CanBeTaken(const QRect& frame, const QList<QRect>& screens);

// The frame of a window restored at `frame`: unchanged when it can be taken there, else centred
// on `home` (the available area of the primary screen) with its top-left corner inside it, so a
// window of at most that size lies wholly on it.
QRect Restored(const QRect& frame, const QList<QRect>& screens, const QRect& home);

} // namespace WindowPlacement
