#include "AnnotationItems.h"
#include "PaintToolCommand.h"
#include "SnapGeometry.h"

#include <QFontMetrics>
#include <QGraphicsRectItem>
#include <QGraphicsTextItem>
#include <QtTest>

using namespace SnapGeometry;

namespace {

bool Near(QPointF a, QPointF b)
{
    return QLineF(a, b).length() < 0.01;
}

} // namespace

class tst_SnapGeometry : public QObject
{
    Q_OBJECT

private slots:
    void selectionIsClampedToThePicture_data();
    void selectionIsClampedToThePicture();
    void arrowHeadPoints_data();
    void arrowHeadPoints();
    void resizeKeepsTheTopLeftCorner_data();
    void resizeKeepsTheTopLeftCorner();
    void blurKeepsAPlainPicturePlain();
    void textFrameFollowsTheFont();
};

void tst_SnapGeometry::selectionIsClampedToThePicture_data()
{
    QTest::addColumn<QPointF>("from");
    QTest::addColumn<QPointF>("to");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("inside") << QPointF(10, 20) << QPointF(50, 60) << QRect(10, 20, 40, 40);
    QTest::newRow("drawn up and left")
        << QPointF(50, 60) << QPointF(10, 20) << QRect(10, 20, 40, 40);
    QTest::newRow("over the top-left edge")
        << QPointF(-30, -5) << QPointF(20, 10) << QRect(0, 0, 20, 10);
    QTest::newRow("over the bottom-right edge")
        << QPointF(90, 70) << QPointF(300, 300) << QRect(90, 70, 10, 10);
    QTest::newRow("fractions truncated")
        << QPointF(10.7, 20.2) << QPointF(30.9, 40.6) << QRect(10, 20, 20, 20);
    QTest::newRow("no width") << QPointF(10, 20) << QPointF(10, 60) << QRect();
    QTest::newRow("no height") << QPointF(10, 20) << QPointF(50, 20) << QRect();
    QTest::newRow("beside the picture") << QPointF(120, 10) << QPointF(150, 40) << QRect();
}

void tst_SnapGeometry::selectionIsClampedToThePicture()
{
    QFETCH(QPointF, from);
    QFETCH(QPointF, to);
    QFETCH(QRect, expected);
    QCOMPARE(ClampSelection(MakeValidRect(from, to), QSize(100, 80)), expected);
}

void tst_SnapGeometry::arrowHeadPoints_data()
{
    QTest::addColumn<QLineF>("line");
    QTest::addColumn<bool>("atSecondPoint");
    QTest::addColumn<QPointF>("tip");
    QTest::addColumn<QPointF>("end1");
    QTest::addColumn<QPointF>("end2");
    // 16 * sqrt(2) at 30 degrees off the line: 19.596 along it, 11.314 across.
    const qreal along = 19.596, across = 11.314;
    const QLineF right(0, 0, 100, 0), down(0, 0, 0, 100);
    QTest::newRow("rightwards, forward head")
        << right << true << QPointF(100, 0) << QPointF(100 - along, -across)
        << QPointF(100 - along, across);
    QTest::newRow("rightwards, backward head")
        << right << false << QPointF(0, 0) << QPointF(along, across) << QPointF(along, -across);
    QTest::newRow("downwards, forward head")
        << down << true << QPointF(0, 100) << QPointF(across, 100 - along)
        << QPointF(-across, 100 - along);
}

void tst_SnapGeometry::arrowHeadPoints()
{
    QFETCH(QLineF, line);
    QFETCH(bool, atSecondPoint);
    QFETCH(QPointF, tip);
    QFETCH(QPointF, end1);
    QFETCH(QPointF, end2);
    const std::array<QLineF, 2> head = ArrowHead(line, atSecondPoint);
    QCOMPARE(head[0].p1(), tip);
    QCOMPARE(head[1].p1(), tip);
    QVERIFY(Near(head[0].p2(), end1));
    QVERIFY(Near(head[1].p2(), end2));
}

void tst_SnapGeometry::resizeKeepsTheTopLeftCorner_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<QRectF>("resized");
    // A shape drawn up and left of its press point keeps its place too.
    QTest::newRow("wider") << int(PTC_INC_WIDTH) << 5 << QRectF(-30, -20, 35, 20);
    QTest::newRow("lower") << int(PTC_DEC_HEIGHT) << 5 << QRectF(-30, -20, 30, 15);
    QTest::newRow("narrower than nothing") << int(PTC_DEC_WIDTH) << 50 << QRectF(-30, -20, 1, 20);
    QTest::newRow("not a size command") << int(PTC_MOVE_UP) << 5 << QRectF(-30, -20, 30, 20);
}

void tst_SnapGeometry::resizeKeepsTheTopLeftCorner()
{
    QFETCH(int, command);
    QFETCH(int, pixels);
    QFETCH(QRectF, resized);
    QCOMPARE(ResizedRect(QRectF(-30, -20, 30, 20), command, pixels), resized);
}

void tst_SnapGeometry::blurKeepsAPlainPicturePlain()
{
    QImage plain(60, 40, QImage::Format_RGB32);
    plain.fill(QColor(200, 100, 37));
    // Touching the picture's edges and past them: the edge pixels repeat, nothing darkens.
    const QImage patch = BlurredPatch(plain, QRect(-10, 5, 40, 100), 10);
    QCOMPARE(patch.size(), QSize(30, 35));
    for (int y = 0; y < patch.height(); ++y) {
        for (int x = 0; x < patch.width(); ++x)
            QCOMPARE(patch.pixel(x, y), plain.pixel(0, 0));
    }
    QVERIFY(BlurredPatch(plain, QRect(70, 0, 10, 10), 10).isNull());
}

void tst_SnapGeometry::textFrameFollowsTheFont()
{
    QMyTextItem item(QStringLiteral("Frame me"), QPen(Qt::blue), QPen(Qt::red), 5,
        QPen(QColor(255, 255, 0, 50)));
    auto* frameItem = qgraphicsitem_cast<QGraphicsRectItem*>(item.childItems().first());
    auto* textItem = qgraphicsitem_cast<QGraphicsTextItem*>(item.childItems().last());
    QVERIFY(frameItem && textItem);
    const QSize text = QFontMetrics(item.GetFont()).size(0, item.GetText());
    QCOMPARE(frameItem->rect(), QRectF(0, 0, text.width() + 8, text.height() + 8));
    QCOMPARE(frameItem->pen().width(), 5);
    QCOMPARE(textItem->pos(), QPointF(0, 0));

    item.SetTextColor(QPen(Qt::green));
    QCOMPARE(frameItem->rect(), QRectF(0, 0, text.width() + 8, text.height() + 8));
    QFont big = item.GetFont();
    big.setPointSize(40);
    item.SetTextFont(big);
    const QSize bigText = QFontMetrics(big).size(0, item.GetText());
    QCOMPARE(frameItem->rect(), QRectF(0, 0, bigText.width() + 8, bigText.height() + 8));
    item.SetBorderWidth(3);
    QCOMPARE(frameItem->rect(), QRectF(0, 0, bigText.width() + 11, bigText.height() + 11));
    QCOMPARE(textItem->pos(), QPointF(3, 3));
}

QTEST_MAIN(tst_SnapGeometry)
#include "tst_snapgeometry.moc"
