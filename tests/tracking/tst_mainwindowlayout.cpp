#include "tracking/MainWindowLayout.h"

#include <QtTest>

using MainWindowGeometry::Panels;

namespace {

// The main form as drawn, each widget in its parent's coordinates.
Panels DrawnForm()
{
    Panels form;
    form.leftPanel = QRect(0, 0, 188, 591);
    form.services = QRect(10, 420, 171, 161);
    form.logo = QRect(270, 10, 191, 41);
    form.userPanel = QRect(202, 130, 371, 100);
    form.line = QRect(0, 90, 371, 2);
    form.timeButton = QRect(260, 17, 103, 32);
    form.timeState = QRect(270, 60, 91, 20);
    form.company = QRect(200, 98, 371, 32);
    form.userLines = { QRect(70, 16, 181, 26), QRect(72, 40, 162, 16), QRect(72, 60, 162, 16) };
    form.showArea = QRect(200, 230, 381, 391);
    form.bottom = QRect(0, 620, 581, 31);
    form.statusText = QRect(200, 625, 371, 16);
    form.noTeams = QRect(50, 120, 271, 81);
    return form;
}

} // namespace

class tst_MainWindowLayout : public QObject
{
    Q_OBJECT

private slots:
    void panelsFollowTheArea_data();
    void panelsFollowTheArea();
    void nameGetsTheWidthItNeeds_data();
    void nameGetsTheWidthItNeeds();
};

void tst_MainWindowLayout::panelsFollowTheArea_data()
{
    QTest::addColumn<QSize>("area");
    QTest::addColumn<int>("logoX");
    QTest::addColumn<QRect>("timeButton");
    QTest::addColumn<int>("nameWidth");
    QTest::addColumn<QRect>("showArea");
    QTest::addColumn<QRect>("leftPanel");
    QTest::addColumn<int>("servicesY");
    QTest::addColumn<QRect>("bottom");
    QTest::addColumn<QRect>("statusText");
    QTest::addColumn<QPoint>("noTeams");

    // The logo is centred right of the left panel, the time button keeps 10 from the user
    // panel's end, the bottom band is 10 wider than the area.
    QTest::newRow("the form's size")
        << QSize(576, 661) << 287 << QRect(259, 17, 103, 32) << 183 << QRect(200, 230, 372, 380)
        << QRect(0, 0, 188, 630) << 438 << QRect(0, 630, 586, 31) << QRect(200, 635, 576, 16)
        << QPoint(51, 150);
    QTest::newRow("odd sizes round down")
        << QSize(577, 662) << 287 << QRect(260, 17, 103, 32) << 184 << QRect(200, 230, 373, 381)
        << QRect(0, 0, 188, 631) << 439 << QRect(0, 631, 587, 31) << QRect(200, 636, 577, 16)
        << QPoint(51, 150);
    QTest::newRow("large") << QSize(900, 800) << 449 << QRect(583, 17, 103, 32) << 507
                           << QRect(200, 230, 696, 519) << QRect(0, 0, 188, 769) << 577
                           << QRect(0, 769, 910, 31) << QRect(200, 774, 900, 16)
                           << QPoint(213, 219);
}

void tst_MainWindowLayout::panelsFollowTheArea()
{
    QFETCH(QSize, area);
    const Panels form = DrawnForm();
    const Panels placed = MainWindowGeometry::PlacePanels(area, form);

    QTEST(placed.logo.x(), "logoX");
    QCOMPARE(placed.logo.y(), form.logo.y());
    QTEST(placed.timeButton, "timeButton");
    // The time state's right edge is the button's.
    QCOMPARE(placed.timeState.right(), placed.timeButton.right());
    QCOMPARE(placed.timeState.size(), form.timeState.size());
    QTEST(placed.userLines[0].width(), "nameWidth");
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(placed.userLines[i].topLeft(), form.userLines[i].topLeft());
        QCOMPARE(placed.userLines[i].right() + 1 + 6, placed.timeButton.x());
    }
    QTEST(placed.showArea, "showArea");
    for (const QRect& across : { placed.userPanel, placed.line, placed.company })
        QCOMPARE(across.width(), placed.showArea.width());
    QCOMPARE(placed.userPanel.topLeft(), form.userPanel.topLeft());
    QTEST(placed.leftPanel, "leftPanel");
    QCOMPARE(placed.services.x(), form.services.x());
    QTEST(placed.services.y(), "servicesY");
    QTEST(placed.bottom, "bottom");
    QTEST(placed.statusText, "statusText");
    QTEST(placed.noTeams.topLeft(), "noTeams");
    QCOMPARE(placed.noTeams.size(), form.noTeams.size());
}

// The window's least width from WidthForName is exactly what the panels' rule needs to give
// the name its whole width, whatever the name and however far a larger font moved it.
void tst_MainWindowLayout::nameGetsTheWidthItNeeds_data()
{
    QTest::addColumn<int>("nameX");
    QTest::addColumn<int>("timeButtonWidth");
    QTest::addColumn<int>("nameWidth");
    QTest::addColumn<int>("width");

    QTest::newRow("short name") << 70 << 103 << 60 << 453;
    QTest::newRow("long name") << 70 << 103 << 420 << 813;
    QTest::newRow("large font") << 84 << 140 << 300 << 744;
}

void tst_MainWindowLayout::nameGetsTheWidthItNeeds()
{
    QFETCH(int, nameX);
    QFETCH(int, timeButtonWidth);
    QFETCH(int, nameWidth);
    Panels form = DrawnForm();
    form.userLines[0].moveLeft(nameX);
    form.timeButton.setWidth(timeButtonWidth);

    const int width = MainWindowGeometry::WidthForName(form, nameWidth);
    QTEST(width, "width");
    const QSize area(width, 661);
    QCOMPARE(MainWindowGeometry::PlacePanels(area, form).userLines[0].width(), nameWidth);
    QCOMPARE(MainWindowGeometry::PlacePanels(area - QSize(1, 0), form).userLines[0].width(),
        nameWidth - 1);
}

QTEST_APPLESS_MAIN(tst_MainWindowLayout)
#include "tst_mainwindowlayout.moc"
