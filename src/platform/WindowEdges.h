#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QVector>

class QWidget;

// A press that handed its drag to the window manager never sees its button released: the
// window is told so here, or the pointer's next moves would all go to the pressed widget.
void EndPressHandedOver(QWidget* pressed, QPoint globalPos);

// The edges and corners of a frameless window, made to resize it as a window manager's frame
// would: a thin strip along each edge, above the window's contents, showing the resize cursor of
// the edge, or of the corner within `corner` pixels of either end. A press hands the drag to the
// window manager (QWindow::startSystemResize), which keeps the window's minimum size; without
// one the window follows the pointer itself, never below its minimum.
class WindowEdges : public QObject
{
    Q_OBJECT
public:
    WindowEdges(QWidget* window, int thickness, int corner);

    // Where the strip along `edge` lies in a window of `size`.
    static QRect StripRect(Qt::Edge edge, QSize size, int thickness);
    // What a press at `pos` (in the window) on the strip along `edge` resizes: the edge, or the
    // corner near either of its ends.
    static Qt::Edges EdgesAt(Qt::Edge edge, QPoint pos, QSize size, int corner);
    // The window's geometry after its `edges` were dragged by `delta` from `start`, kept within
    // `minimum` and `maximum`; the opposite edges stay where they were.
    static QRect Resized(
        const QRect& start, Qt::Edges edges, QPoint delta, QSize minimum, QSize maximum);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PlaceStrips();

    QWidget* window;
    int thickness;
    int corner;
    QVector<QWidget*> strips;
};
