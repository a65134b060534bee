#include "../DesignFont.h"
#include "FormFit.h"
#include "MoveNotice.h"
#include "WindowEdges.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <xcb/xproto.h>

Q_DECLARE_METATYPE(Qt::Orientation)
Q_DECLARE_METATYPE(Qt::Edges)
Q_DECLARE_METATYPE(QVector<QRect>)
Q_DECLARE_METATYPE(QVector<int>)

// The geometry rules of the forms and of the frameless window's edges, as tables, and a form
// fitted to a font it was not drawn for.
class TestGeometryRules : public QObject
{
    Q_OBJECT
private slots:
    // Which native events are the server's notices of a window's own moves, and where to.
    void moveNotices_data()
    {
        QTest::addColumn<QByteArray>("eventType");
        QTest::addColumn<int>("responseType");
        QTest::addColumn<quint32>("window");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("movedTo"); // (-1, -1): no move notice
        const QByteArray xcb = "xcb_generic_event_t";
        const QPoint none(-1, -1);
        QTest::newRow("a move") << xcb << int(XCB_CONFIGURE_NOTIFY) << 77u << QSize(247, 143)
                                << QPoint(3592, 2027);
        QTest::newRow("a resize") << xcb << int(XCB_CONFIGURE_NOTIFY) << 77u << QSize(80, 143)
                                  << none;
        QTest::newRow("another window")
            << xcb << int(XCB_CONFIGURE_NOTIFY) << 78u << QSize(247, 143) << none;
        QTest::newRow("sent by a window manager")
            << xcb << int(XCB_CONFIGURE_NOTIFY | 0x80) << 77u << QSize(247, 143) << none;
        QTest::newRow("an expose") << xcb << int(XCB_EXPOSE) << 77u << QSize(247, 143) << none;
        QTest::newRow("another platform's event")
            << QByteArray("windows_generic_MSG") << int(XCB_CONFIGURE_NOTIFY) << 77u
            << QSize(247, 143) << none;
    }

    void moveNotices()
    {
        QFETCH(QByteArray, eventType);
        QFETCH(int, responseType);
        QFETCH(quint32, window);
        QFETCH(QSize, size);
        QFETCH(QPoint, movedTo);
        xcb_configure_notify_event_t notice {};
        notice.response_type = uint8_t(responseType);
        notice.event = window;
        notice.window = window;
        notice.x = int16_t(movedTo.x() < 0 ? 3592 : movedTo.x());
        notice.y = int16_t(movedTo.y() < 0 ? 2027 : movedTo.y());
        notice.width = uint16_t(size.width());
        notice.height = uint16_t(size.height());
        const std::optional<QPoint> read
            = MoveNotice::MovedTo(eventType, &notice, WId(77), QSize(247, 143));
        QCOMPARE(read.value_or(QPoint(-1, -1)), movedTo);
        QVERIFY(!MoveNotice::MovedTo("xcb_generic_event_t", nullptr, WId(77), QSize(247, 143)));
    }

    void growAlong_data()
    {
        QTest::addColumn<Qt::Orientation>("axis");
        QTest::addColumn<QVector<QRect>>("rects");
        QTest::addColumn<QVector<int>>("needed");
        QTest::addColumn<QVector<int>>("reach");
        QTest::addColumn<QVector<QRect>>("expected");
        QTest::addColumn<int>("length"); // the parent's, from 200

        const QRect label(10, 0, 50, 20);
        QTest::newRow("all fit") << Qt::Horizontal << QVector<QRect> { label, { 70, 0, 40, 20 } }
                                 << QVector<int> { 50, 40 } << QVector<int>()
                                 << QVector<QRect> { label, { 70, 0, 40, 20 } } << 200;
        QTest::newRow("the gap gives way")
            << Qt::Horizontal << QVector<QRect> { label, { 70, 0, 40, 20 } }
            << QVector<int> { 58, 40 } << QVector<int>()
            << QVector<QRect> { { 10, 0, 58, 20 }, { 70, 0, 40, 20 } } << 200;
        QTest::newRow("pushes its row, a drawn overlap stays")
            << Qt::Horizontal << QVector<QRect> { label, { 59, 0, 40, 20 }, { 100, 0, 90, 20 } }
            << QVector<int> { 80, 40, 90 } << QVector<int>()
            << QVector<QRect> { { 10, 0, 80, 20 }, { 89, 0, 40, 20 }, { 129, 0, 90, 20 } } << 229;
        QTest::newRow("other rows keep their places")
            << Qt::Horizontal << QVector<QRect> { label, { 62, 21, 40, 20 } }
            << QVector<int> { 80, 40 } << QVector<int>()
            << QVector<QRect> { { 10, 0, 80, 20 }, { 62, 21, 40, 20 } } << 200;
        QTest::newRow("a chain to the edge")
            << Qt::Horizontal
            << QVector<QRect> { { 0, 0, 50, 20 }, { 50, 0, 50, 20 }, { 100, 0, 100, 20 } }
            << QVector<int> { 70, 50, 100 } << QVector<int>()
            << QVector<QRect> { { 0, 0, 70, 20 }, { 70, 0, 50, 20 }, { 120, 0, 100, 20 } } << 220;
        QTest::newRow("a text that reached out is taken in")
            << Qt::Horizontal << QVector<QRect> { { 60, 0, 160, 16 } } << QVector<int> { 160 }
            << QVector<int> { 157 } << QVector<QRect> { { 60, 0, 160, 16 } } << 217;
        QTest::newRow("a box drawn wider than its text stays")
            << Qt::Horizontal << QVector<QRect> { { 150, 0, 151, 16 } } << QVector<int> { 151 }
            << QVector<int> { 40 } << QVector<QRect> { { 150, 0, 151, 16 } } << 200;
        QTest::newRow("down a column, the margin kept")
            << Qt::Vertical << QVector<QRect> { { 0, 0, 100, 20 }, { 0, 25, 100, 20 } }
            << QVector<int> { 30, 20 } << QVector<int>()
            << QVector<QRect> { { 0, 0, 100, 30 }, { 0, 30, 100, 20 } } << 205;
    }

    void growAlong()
    {
        QFETCH(Qt::Orientation, axis);
        QFETCH(QVector<QRect>, rects);
        QFETCH(QVector<int>, needed);
        QFETCH(QVector<int>, reach);
        QFETCH(QVector<QRect>, expected);
        QFETCH(int, length);
        const FormFit::AxisFit fit = FormFit::GrowAlong(axis, rects, needed, 200, reach);
        QCOMPARE(fit.rects, expected);
        QCOMPARE(fit.length, length);
    }

    void density_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<double>("factor");
        QTest::newRow("96") << 96 << 1.0;
        QTest::newRow("a virtual screen's 100") << 100 << 1.0;
        QTest::newRow("below 96") << 72 << 1.0;
        QTest::newRow("120") << 120 << 1.25;
        QTest::newRow("144") << 144 << 1.5;
        QTest::newRow("192") << 192 << 2.0;
    }

    void density()
    {
        QFETCH(int, dpi);
        QFETCH(double, factor);
        QCOMPARE(FormFit::Density(dpi), factor);
    }

    void scaledEdgesStillMeet()
    {
        QCOMPARE(FormFit::Scaled(QRect(10, 10, 50, 20), 1.5), QRect(15, 15, 75, 30));
        const QRect left = FormFit::Scaled(QRect(0, 0, 33, 10), 1.5);
        const QRect right = FormFit::Scaled(QRect(33, 0, 33, 10), 1.5);
        QCOMPARE(left.x() + left.width(), right.x());
    }

    // A fixed-size dialog whose caption does not fit the font: the caption gets its room, the
    // field beside it moves on, the dialog grows and stays fixed; a box's title keeps its row.
    void aFormGrowsWhereItsTextNeeds()
    {
        UseDesignFont();
        QDialog dialog;
        dialog.setFixedSize(300, 120);
        auto* caption = new QLabel("A rather long caption for this box:", &dialog);
        caption->setObjectName("caption");
        caption->setGeometry(10, 10, 60, 16);
        auto* field = new QLineEdit(&dialog);
        field->setObjectName("field");
        field->setGeometry(72, 10, 220, 20);
        auto* box = new QGroupBox("Title", &dialog);
        box->setObjectName("box");
        box->setGeometry(10, 40, 200, 60);
        auto* inside = new QPushButton("Inside", box);
        inside->setObjectName("inside");
        inside->setGeometry(10, 2, 80, 23);

        FormFit::Fit(&dialog);
        QCOMPARE(caption->width(), caption->sizeHint().width());
        QCOMPARE(field->x(), caption->x() + caption->width()); // the gap of 2 gave way
        QCOMPARE(field->width(), 220);
        QVERIFY(dialog.width() >= field->x() + field->width());
        QCOMPARE(dialog.minimumSize(), dialog.size());
        QCOMPARE(dialog.maximumSize(), dialog.size());
        QVERIFY(inside->y() > QFontMetrics(box->font()).height());
        QCOMPARE(FormFit::TextShortfall(caption), QSize(0, 0));
    }

    void edgeResize_data()
    {
        QTest::addColumn<Qt::Edges>("edges");
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<QRect>("expected");
        // From 100,100 600x700, at least 576x661, at most 1000x900.
        QTest::newRow("right out")
            << Qt::Edges(Qt::RightEdge) << QPoint(200, 9) << QRect(100, 100, 800, 700);
        QTest::newRow("left out") << Qt::Edges(Qt::LeftEdge) << QPoint(-50, 0)
                                  << QRect(50, 100, 650, 700);
        QTest::newRow("left in past the minimum")
            << Qt::Edges(Qt::LeftEdge) << QPoint(300, 0) << QRect(124, 100, 576, 700);
        QTest::newRow("top left corner")
            << (Qt::TopEdge | Qt::LeftEdge) << QPoint(-10, -20) << QRect(90, 80, 610, 720);
        QTest::newRow("bottom right past both limits")
            << (Qt::BottomEdge | Qt::RightEdge) << QPoint(900, -300) << QRect(100, 100, 1000, 661);
    }

    void edgeResize()
    {
        QFETCH(Qt::Edges, edges);
        QFETCH(QPoint, delta);
        QFETCH(QRect, expected);
        QCOMPARE(WindowEdges::Resized(
                     QRect(100, 100, 600, 700), edges, delta, QSize(576, 661), QSize(1000, 900)),
            expected);
    }

    void edgesUnderThePointer_data()
    {
        QTest::addColumn<int>("strip");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<Qt::Edges>("expected");
        QTest::newRow("right, middle")
            << int(Qt::RightEdge) << QPoint(598, 350) << Qt::Edges(Qt::RightEdge);
        QTest::newRow("right, near the top")
            << int(Qt::RightEdge) << QPoint(598, 15) << (Qt::RightEdge | Qt::TopEdge);
        QTest::newRow("right, at the bottom")
            << int(Qt::RightEdge) << QPoint(598, 684) << (Qt::RightEdge | Qt::BottomEdge);
        QTest::newRow("top, near the left")
            << int(Qt::TopEdge) << QPoint(3, 1) << (Qt::TopEdge | Qt::LeftEdge);
        QTest::newRow("bottom, just off the corner")
            << int(Qt::BottomEdge) << QPoint(16, 698) << Qt::Edges(Qt::BottomEdge);
    }

    void edgesUnderThePointer()
    {
        QFETCH(int, strip);
        QFETCH(QPoint, at);
        QFETCH(Qt::Edges, expected);
        const QSize size(600, 700);
        QVERIFY(WindowEdges::StripRect(Qt::Edge(strip), size, 5).contains(at));
        QCOMPARE(WindowEdges::EdgesAt(Qt::Edge(strip), at, size, 16), expected);
    }
};

QTEST_MAIN(TestGeometryRules)
#include "tst_geometryrules.moc"
