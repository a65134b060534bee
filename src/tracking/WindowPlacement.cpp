#include "WindowPlacement.h"

#include <algorithm>

namespace {

// The strip at the top of the window that holds its title bar.
const int titleStripHeight = 30;
// Enough of the title bar to grab with the pointer without hunting for it.
const int minTakenWidth = 100;

} // namespace

namespace WindowPlacement {

bool CanBeTaken(const QRect& frame, const QList<QRect>& screens)
{
    if (frame.isEmpty())
        return false;
    const QRect strip(
        frame.topLeft(), QSize(frame.width(), qMin(frame.height(), titleStripHeight)));
    const int width = qMin(frame.width(), minTakenWidth);
    return std::any_of(screens.cbegin(), screens.cend(), [&](const QRect& screen) {
        const QRect piece = strip.intersected(screen);
        return piece.width() >= width && piece.height() >= strip.height();
    });
}

QRect Restored(const QRect& frame, const QList<QRect>& screens, const QRect& home)
{
    if (CanBeTaken(frame, screens))
        return frame;
    QRect restored = frame;
    restored.moveCenter(home.center());
    // Larger than the screen: the title bar stays in reach.
    restored.moveTopLeft(
        QPoint(qMax(restored.left(), home.left()), qMax(restored.top(), home.top())));
    return restored;
}

} // namespace WindowPlacement
