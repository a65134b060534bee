#include "SnapGeometry.h"

#include "PaintToolCommand.h"

#include <QtMath>

#include <vector>

namespace SnapGeometry {

namespace {

const qreal headStrokeOffset = 16;
const qreal headAngle = 150;

// One box-blur pass over a run of pixels (a row, or a column with the row length as stride).
// The run's end pixels repeat beyond it.
void BlurRun(QRgb* first, int count, int stride, int halfWidth, std::vector<QRgb>& run)
{
    run.resize(count);
    for (int i = 0; i < count; ++i)
        run[i] = first[i * stride];
    const auto at = [&](int i) {
        return run[qBound(0, i, count - 1)];
    };
    const int window = 2 * halfWidth + 1;
    int r = 0, g = 0, b = 0, a = 0;
    const auto add = [&](QRgb p, int sign) {
        r += sign * qRed(p);
        g += sign * qGreen(p);
        b += sign * qBlue(p);
        a += sign * qAlpha(p);
    };
    for (int i = -halfWidth; i <= halfWidth; ++i)
        add(at(i), 1);
    for (int i = 0; i < count; ++i) {
        first[i * stride] = qRgba((r + window / 2) / window, (g + window / 2) / window,
            (b + window / 2) / window, (a + window / 2) / window);
        add(at(i - halfWidth), -1);
        add(at(i + halfWidth + 1), 1);
    }
}

} // namespace

QRectF MakeValidRect(QPointF a, QPointF b)
{
    return QRectF(qMin(a.x(), b.x()), qMin(a.y(), b.y()), qAbs(b.x() - a.x()), qAbs(b.y() - a.y()));
}

QRect ClampSelection(const QRectF& selection, QSize picture)
{
    const QRect whole(
        int(selection.x()), int(selection.y()), int(selection.width()), int(selection.height()));
    const QRect onPicture = whole.intersected(QRect(QPoint(0, 0), picture));
    return onPicture.isEmpty() ? QRect() : onPicture;
}

std::array<QLineF, 2> ArrowHead(const QLineF& line, bool atSecondPoint)
{
    const QPointF tip = atSecondPoint ? line.p2() : line.p1();
    const qreal back = atSecondPoint ? 0 : 180;
    std::array<QLineF, 2> strokes;
    strokes.fill(QLineF(tip, tip + QPointF(headStrokeOffset, headStrokeOffset)));
    strokes[0].setAngle(line.angle() + headAngle + back);
    strokes[1].setAngle(line.angle() - headAngle - back);
    return strokes;
}

QPointF MovedPosition(QPointF position, int command, int pixels)
{
    switch (command) {
    case PTC_MOVE_UP:
        return position - QPointF(0, pixels);
    case PTC_MOVE_DOWN:
        return position + QPointF(0, pixels);
    case PTC_MOVE_LEFT:
        return position - QPointF(pixels, 0);
    case PTC_MOVE_RIGHT:
        return position + QPointF(pixels, 0);
    default:
        return position;
    }
}

QRectF ResizedRect(const QRectF& rect, int command, int pixels)
{
    QSizeF size = rect.size();
    switch (command) {
    case PTC_DEC_HEIGHT:
        size.rheight() -= pixels;
        break;
    case PTC_INC_HEIGHT:
        size.rheight() += pixels;
        break;
    case PTC_DEC_WIDTH:
        size.rwidth() -= pixels;
        break;
    case PTC_INC_WIDTH:
        size.rwidth() += pixels;
        break;
    default:
        return rect;
    }
    return QRectF(rect.topLeft(), size.expandedTo(QSizeF(1, 1)));
}

QImage BlurredPatch(const QImage& picture, const QRect& area, int radius)
{
    const QRect patch = area.intersected(picture.rect());
    if (patch.isEmpty())
        return QImage();
    // Three box passes come close to a gaussian whose reach is the radius.
    const int halfWidth = qMax(1, radius / 3);
    const int margin = 3 * halfWidth;
    const QRect source
        = patch.adjusted(-margin, -margin, margin, margin).intersected(picture.rect());
    QImage work = picture.copy(source).convertToFormat(QImage::Format_ARGB32);
    auto* pixels = reinterpret_cast<QRgb*>(work.bits());
    const int stride = work.bytesPerLine() / int(sizeof(QRgb));
    std::vector<QRgb> run;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < work.height(); ++y)
            BlurRun(pixels + y * stride, work.width(), 1, halfWidth, run);
        for (int x = 0; x < work.width(); ++x)
            BlurRun(pixels + x, work.height(), stride, halfWidth, run);
    }
    return work.copy(patch.translated(-source.topLeft()));
}

} // namespace SnapGeometry
