#pragma once

#include <QImage>
#include <QLineF>
#include <QRect>
#include <QRectF>

#include <array>

// The geometry of the annotation editor, apart from its widgets.
namespace SnapGeometry {

// The rectangle spanned by two corners, whichever way the mouse went between them.
QRectF MakeValidRect(QPointF a, QPointF b);

// The whole pixels of a selection that lie on a picture of the given size. Empty when the
// selection has no width or height there: such a selection must change nothing.
QRect ClampSelection(const QRectF& selection, QSize picture);

// The two strokes of an arrow head whose tip is one end of the line. At the second point the
// head points along the line, at the first point back against it. Each stroke is 16 * sqrt(2)
// pixels long and leaves the tip 30 degrees off the line.
std::array<QLineF, 2> ArrowHead(const QLineF& line, bool atSecondPoint);

// A position after one of the move commands (PTC_MOVE_UP ... PTC_MOVE_RIGHT); other commands
// leave it.
QPointF MovedPosition(QPointF position, int command, int pixels);

// A shape's rectangle after one of the size commands (PTC_DEC_HEIGHT ... PTC_INC_WIDTH). The
// top-left corner stays where it is, so the shape never jumps, and it never shrinks below one
// pixel, so it can always grow back.
QRectF ResizedRect(const QRectF& rect, int command, int pixels);

// The area of the picture blurred with the given radius, the size of the area (clipped to the
// picture). The pixels around the area feed the blur, so the patch is opaque to its edges and
// joins its surroundings without showing any sharp original pixel.
QImage BlurredPatch(const QImage& picture, const QRect& area, int radius);

} // namespace SnapGeometry
