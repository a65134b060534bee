#include "AnnotationItems.h"

#include "SnapGeometry.h"

#include <QFontMetrics>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsTextItem>

namespace {

// Puts a head's strokes on its two items.
void PlaceHead(
    QGraphicsLineItem* stroke1, QGraphicsLineItem* stroke2, const QLineF& line, bool atSecondPoint)
{
    const std::array<QLineF, 2> head = SnapGeometry::ArrowHead(line, atSecondPoint);
    stroke1->setLine(head[0]);
    stroke2->setLine(head[1]);
}

QGraphicsLineItem* NewStroke(QGraphicsItem* parent, const QPen& pen)
{
    auto* stroke = new QStrokeItem(parent);
    stroke->setPen(pen);
    return stroke;
}

} // namespace

// Qt asks for the old rectangle before a new line or pen takes effect (prepareGeometryChange),
// so comparing them finds every change.
QRectF QStrokeItem::boundingRect() const
{
    if (!boundsKnown || line() != boundsLine || pen() != boundsPen) {
        bounds = QGraphicsLineItem::boundingRect();
        boundsLine = line();
        boundsPen = pen();
        boundsKnown = true;
    }
    return bounds;
}

QBrushItem::QBrushItem(const QPen& pen, QGraphicsItem* parent)
    : QGraphicsItemGroup(parent), pen(pen)
{ }

void QBrushItem::AddPoint(QPointF p)
{
    const QPointF from = segments.isEmpty() ? p : segments.last()->line().p2();
    auto* segment = new QStrokeItem(QLineF(from, p), this);
    SetNewPointColor(segment);
    segments.append(segment);
}

void QBrushItem::SetPen(const QPen& newPen)
{
    pen = newPen;
    for (QGraphicsLineItem* segment : qAsConst(segments))
        segment->setPen(pen);
}

void QBrushItem::SetNewPointColor(QGraphicsLineItem* segment)
{
    segment->setPen(pen);
}

QMyLineItem::QMyLineItem(const QPen& pen, LINE_MODE mode, QGraphicsItem* parent)
    : QGraphicsItemGroup(parent)
{
    Init(pen, mode);
}

void QMyLineItem::Init(const QPen& newPen, LINE_MODE newMode)
{
    pen = newPen;
    line = NewStroke(this, pen);
    AllocMemStartArrow();
    AllocMemEndArrow();
    mode = newMode;
}

void QMyLineItem::AllocMemStartArrow()
{
    startHead1 = NewStroke(this, pen);
    startHead2 = NewStroke(this, pen);
}

void QMyLineItem::AllocMemEndArrow()
{
    endHead1 = NewStroke(this, pen);
    endHead2 = NewStroke(this, pen);
}

void QMyLineItem::SetLineMode(LINE_MODE newMode)
{
    mode = newMode;
}

void QMyLineItem::SetLine(const QLineF& l)
{
    MakeArrows(l);
}

void QMyLineItem::SetLine(int x1, int y1, int x2, int y2)
{
    MakeArrows(QLineF(x1, y1, x2, y2));
}

void QMyLineItem::MakeArrows(const QLineF& l)
{
    line->setLine(l);
    if (mode == LINE_END_ARROW || mode == LINE_BOTH_ARROWS)
        PlaceHead(startHead1, startHead2, l, false);
    if (mode == LINE_START_ARROW || mode == LINE_BOTH_ARROWS)
        PlaceHead(endHead1, endHead2, l, true);
}

void QMyLineItem::SetPen(const QPen& newPen)
{
    pen = newPen;
    for (QGraphicsLineItem* child : { line, startHead1, startHead2, endHead1, endHead2 })
        child->setPen(pen);
}

QPen QMyLineItem::GetPen() const
{
    return pen;
}

QMyTextItem::QMyTextItem(const QString& text, const QPen& textPen, const QPen& borderPen,
    int borderWidth, const QPen& backPen, QGraphicsItem* parent)
    : QGraphicsItemGroup(parent)
{
    Init(text, textPen, borderPen, borderWidth, backPen);
}

void QMyTextItem::Init(const QString& newText, const QPen& newTextPen, const QPen& newBorderPen,
    int outlineWidth, const QPen& backPen)
{
    textPen = newTextPen;
    borderPen = newBorderPen;
    backBrush = backPen.brush();
    text = newText;
    borderWidth = 0;
    font = QFont();
    borderPen.setWidth(outlineWidth);

    frameItem = new QGraphicsRectItem(this);
    textItem = new QGraphicsTextItem(this);
    frameItem->setBrush(backBrush);
    frameItem->setPen(borderPen);
    textItem->setFont(font);
    textItem->setDefaultTextColor(textPen.color());
    textItem->setPlainText(text);
    RefreshRect();
}

void QMyTextItem::RefreshRect()
{
    const QSize size = QFontMetrics(font).size(0, text);
    frameItem->setRect(0, 0, size.width() + borderWidth + 8, size.height() + borderWidth + 8);
    textItem->setPos(borderWidth, borderWidth);
}

void QMyTextItem::SetTextColor(const QPen& pen)
{
    textPen = pen;
    textItem->setDefaultTextColor(pen.color());
}

void QMyTextItem::SetBorderColor(const QPen& pen)
{
    borderPen = pen;
    frameItem->setPen(borderPen);
    RefreshRect();
}

void QMyTextItem::SetBackColor(const QPen& pen)
{
    backBrush = pen.brush();
    frameItem->setBrush(backBrush);
    RefreshRect();
}

void QMyTextItem::SetText(const QString& newText)
{
    text = newText;
    textItem->setPlainText(text);
    RefreshRect();
}

void QMyTextItem::SetTextFont(const QFont& newFont)
{
    font = newFont;
    textItem->setFont(font);
    RefreshRect();
}

void QMyTextItem::SetBorderWidth(int width)
{
    borderWidth = width;
    borderPen.setWidth(width);
    frameItem->setPen(borderPen);
    RefreshRect();
}

QMyCalloutItem::QMyCalloutItem(const QPen& pen, int width, QGraphicsItem* parent)
    : QGraphicsItemGroup(parent)
{
    line = new QStrokeItem(this);
    head1 = new QStrokeItem(this);
    head2 = new QStrokeItem(this);
    SetPen(pen, width);
}

void QMyCalloutItem::SetPen(const QPen& newPen, int newWidth)
{
    pen = newPen;
    width = newWidth;
    pen.setWidth(width);
    pen.setCapStyle(Qt::RoundCap);
    for (QGraphicsLineItem* child : { line, head1, head2 })
        child->setPen(pen);
}

QPen QMyCalloutItem::GetPen() const
{
    return pen;
}

void QMyCalloutItem::SetLine(const QLineF& l)
{
    MakeArrow(l);
}

void QMyCalloutItem::SetLine(int x1, int y1, int x2, int y2)
{
    MakeArrow(QLineF(x1, y1, x2, y2));
}

void QMyCalloutItem::MakeArrow(const QLineF& l)
{
    line->setLine(l);
    PlaceHead(head1, head2, l, false);
}
