#include "WindowEdges.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

const Qt::Edge allEdges[] = { Qt::LeftEdge, Qt::TopEdge, Qt::RightEdge, Qt::BottomEdge };

Qt::CursorShape CursorFor(Qt::Edges edges)
{
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        return Qt::SizeFDiagCursor;
    if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        return Qt::SizeBDiagCursor;
    return edges & (Qt::LeftEdge | Qt::RightEdge) ? Qt::SizeHorCursor : Qt::SizeVerCursor;
}

QString NameOf(Qt::Edge edge)
{
    switch (edge) {
    case Qt::LeftEdge:
        return QStringLiteral("edgeLeft");
    case Qt::TopEdge:
        return QStringLiteral("edgeTop");
    case Qt::RightEdge:
        return QStringLiteral("edgeRight");
    case Qt::BottomEdge:
        break;
    }
    return QStringLiteral("edgeBottom");
}

// One strip: it shows nothing, only takes the pointer.
class EdgeStrip : public QWidget
{
public:
    EdgeStrip(QWidget* window, Qt::Edge edge, int corner)
        : QWidget(window), edge(edge), corner(corner)
    {
        setObjectName(NameOf(edge));
        setMouseTracking(true);
        setCursor(CursorFor(edge));
    }

protected:
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (dragging) {
            QWidget* frame = window();
            frame->setGeometry(WindowEdges::Resized(startGeometry, dragged,
                event->globalPos() - startPointer, frame->minimumSize(), frame->maximumSize()));
            return;
        }
        setCursor(CursorFor(EdgesUnder(event->pos())));
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        dragged = EdgesUnder(event->pos());
        // The window manager resizes as it does framed windows, and knows the minimum size.
        QWindow* handle = window()->windowHandle();
        if (handle && handle->startSystemResize(dragged)) {
            EndPressHandedOver(this, event->globalPos());
            return;
        }
        dragging = true;
        startPointer = event->globalPos();
        startGeometry = window()->geometry();
    }

    void mouseReleaseEvent(QMouseEvent*) override { dragging = false; }

private:
    Qt::Edges EdgesUnder(QPoint pos) const
    {
        return WindowEdges::EdgesAt(edge, mapTo(window(), pos), window()->size(), corner);
    }

    Qt::Edge edge;
    int corner;
    bool dragging = false;
    Qt::Edges dragged;
    QPoint startPointer;
    QRect startGeometry;
};

} // namespace

void EndPressHandedOver(QWidget* pressed, QPoint globalPos)
{
    QWidget* window = pressed->window();
    if (!window->windowHandle())
        return;
    const QPointF local = window->mapFromGlobal(globalPos);
    // After the press is through: the release goes where the press went, and ends its grab.
    QCoreApplication::postEvent(window->windowHandle(),
        new QMouseEvent(QEvent::MouseButtonRelease, local, local, QPointF(globalPos),
            Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

WindowEdges::WindowEdges(QWidget* window, int thickness, int corner)
    : QObject(window), window(window), thickness(thickness), corner(corner)
{
    for (Qt::Edge edge : allEdges)
        strips.append(new EdgeStrip(window, edge, corner));
    window->installEventFilter(this);
    PlaceStrips();
}

QRect WindowEdges::StripRect(Qt::Edge edge, QSize size, int thickness)
{
    switch (edge) {
    case Qt::LeftEdge:
        return QRect(0, 0, thickness, size.height());
    case Qt::TopEdge:
        return QRect(0, 0, size.width(), thickness);
    case Qt::RightEdge:
        return QRect(size.width() - thickness, 0, thickness, size.height());
    case Qt::BottomEdge:
        break;
    }
    return QRect(0, size.height() - thickness, size.width(), thickness);
}

Qt::Edges WindowEdges::EdgesAt(Qt::Edge edge, QPoint pos, QSize size, int corner)
{
    Qt::Edges edges = edge;
    if (edge == Qt::LeftEdge || edge == Qt::RightEdge) {
        if (pos.y() < corner)
            edges |= Qt::TopEdge;
        else if (pos.y() >= size.height() - corner)
            edges |= Qt::BottomEdge;
    } else {
        if (pos.x() < corner)
            edges |= Qt::LeftEdge;
        else if (pos.x() >= size.width() - corner)
            edges |= Qt::RightEdge;
    }
    return edges;
}

QRect WindowEdges::Resized(
    const QRect& start, Qt::Edges edges, QPoint delta, QSize minimum, QSize maximum)
{
    QRect rect = start;
    const auto span = [](int length, int low, int high) {
        return std::clamp(length, low, high);
    };
    if (edges & Qt::LeftEdge)
        rect.setLeft(
            start.right() + 1 - span(start.width() - delta.x(), minimum.width(), maximum.width()));
    if (edges & Qt::RightEdge)
        rect.setWidth(span(start.width() + delta.x(), minimum.width(), maximum.width()));
    if (edges & Qt::TopEdge)
        rect.setTop(start.bottom() + 1
            - span(start.height() - delta.y(), minimum.height(), maximum.height()));
    if (edges & Qt::BottomEdge)
        rect.setHeight(span(start.height() + delta.y(), minimum.height(), maximum.height()));
    return rect;
}

bool WindowEdges::eventFilter(QObject* watched, QEvent* event)
{
    // Above whatever the window shows, also what it adds later.
    if (watched == window
        && (event->type() == QEvent::Resize || event->type() == QEvent::ChildAdded))
        PlaceStrips();
    return QObject::eventFilter(watched, event);
}

void WindowEdges::PlaceStrips()
{
    for (int i = 0; i < strips.size(); ++i) {
        strips[i]->setGeometry(StripRect(allEdges[i], window->size(), thickness));
        strips[i]->raise();
    }
}
