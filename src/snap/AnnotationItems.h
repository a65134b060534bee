#pragma once

#include <QFont>
#include <QGraphicsItemGroup>
#include <QGraphicsLineItem>
#include <QList>
#include <QPen>

class QGraphicsRectItem;
class QGraphicsTextItem;

// A line item that works out the outline of its stroke, its bounding rectangle, once for each
// line and pen. QGraphicsLineItem strokes its path anew at every call, and the view asks at
// every paint, for each segment of every free-hand stroke: a third of painting a 4K picture
// with 200 objects went into it.
class QStrokeItem : public QGraphicsLineItem
{
public:
    using QGraphicsLineItem::QGraphicsLineItem;

    QRectF boundingRect() const override;

private:
    mutable bool boundsKnown = false;
    mutable QRectF bounds;
    mutable QLineF boundsLine; // the line and the pen the bounds are of
    mutable QPen boundsPen;
};

// The composite objects of the annotation editor. Each is a group of plain child items that
// moves and dies with it; the plain line, rectangle, ellipse and blur patch are the toolkit's.

// A free-hand stroke: a chain of straight segments between successive mouse positions.
class QBrushItem : public QGraphicsItemGroup
{
public:
    explicit QBrushItem(const QPen& pen, QGraphicsItem* parent = nullptr);

    // The first point gives a zero-length segment at the press point.
    void AddPoint(QPointF p);
    void SetPen(const QPen& newPen);
    void SetNewPointColor(QGraphicsLineItem* segment);

private:
    QList<QGraphicsLineItem*> segments;
    QPen pen;
};

// A straight line with arrow heads. The first point is where the mouse was pressed, the
// second where it was released.
class QMyLineItem : public QGraphicsItemGroup
{
public:
    enum LINE_MODE
    {
        LINE_NO_ARROWS = 0,
        LINE_START_ARROW = 1, // head at the second point
        LINE_END_ARROW = 2, // head at the first point
        LINE_BOTH_ARROWS = 3
    };

    QMyLineItem(const QPen& pen, LINE_MODE mode, QGraphicsItem* parent = nullptr);

    // Takes effect with the next SetLine.
    void SetLineMode(LINE_MODE newMode);
    void SetLine(const QLineF& l);
    void SetLine(int x1, int y1, int x2, int y2);
    void SetPen(const QPen& newPen);
    QPen GetPen() const;

private:
    void Init(const QPen& newPen, LINE_MODE newMode);
    void AllocMemStartArrow();
    void AllocMemEndArrow();
    void MakeArrows(const QLineF& l);

    QPen pen;
    LINE_MODE mode = LINE_NO_ARROWS;
    QGraphicsLineItem* line = nullptr;
    QGraphicsLineItem* startHead1 = nullptr; // the heads at the first point
    QGraphicsLineItem* startHead2 = nullptr;
    QGraphicsLineItem* endHead1 = nullptr; // the heads at the second point
    QGraphicsLineItem* endHead2 = nullptr;
};

// A text in a frame: the frame is 8 pixels (plus the inset) wider and higher than the text's
// size in its font, the text sits at the inset.
class QMyTextItem : public QGraphicsItemGroup
{
public:
    // The border width widens the frame's outline; the inset stays 0 until SetBorderWidth.
    QMyTextItem(const QString& text, const QPen& textPen, const QPen& borderPen, int borderWidth,
        const QPen& backPen, QGraphicsItem* parent = nullptr);

    void SetTextColor(const QPen& pen);
    void SetBorderColor(const QPen& pen);
    void SetBackColor(const QPen& pen);
    void SetText(const QString& newText);
    void SetTextFont(const QFont& newFont);
    void SetBorderWidth(int width);

    int GetBorderWidth() const { return borderWidth; }
    QString GetText() const { return text; }
    QColor GetBackColor() const { return backBrush.color(); }
    QColor GetTextColor() const { return textPen.color(); }
    QColor GetBorderColor() const { return borderPen.color(); }
    QFont GetFont() const { return font; }

private:
    void Init(const QString& newText, const QPen& newTextPen, const QPen& newBorderPen,
        int outlineWidth, const QPen& backPen);
    void RefreshRect();

    QGraphicsTextItem* textItem = nullptr;
    QGraphicsRectItem* frameItem = nullptr;
    int borderWidth = 0;
    QString text;
    QPen textPen;
    QPen borderPen;
    QBrush backBrush;
    QFont font;
};

// The line of a callout with one arrow head at its first point, where the drag began; the
// callout's text goes to the other end.
class QMyCalloutItem : public QGraphicsItemGroup
{
public:
    QMyCalloutItem(const QPen& pen, int width, QGraphicsItem* parent = nullptr);

    void SetPen(const QPen& newPen, int newWidth);
    QPen GetPen() const;
    void SetLine(const QLineF& l);
    void SetLine(int x1, int y1, int x2, int y2);

private:
    void MakeArrow(const QLineF& l);

    QPen pen;
    int width = 1;
    QGraphicsLineItem* line = nullptr;
    QGraphicsLineItem* head1 = nullptr;
    QGraphicsLineItem* head2 = nullptr;
};
