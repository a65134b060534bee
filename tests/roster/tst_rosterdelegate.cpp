#include "ListWidgetManager.h"
#include "RosterDelegate.h"
#include "RosterFixtures.h"

#include <QListWidget>
#include <QPainter>
#include <QPixmapCache>
#include <QtTest>

namespace {

const QColor kNameColor(0, 0, 255);
const QColor kOfflineNameColor(255, 0, 255);
const QColor kSelectionFill(255, 240, 200);
const QColor kTeamBand(40, 90, 160);
const QColor kScreenshotColor(0, 200, 0);

// Pixels of `image` within a small distance of `color`.
int CountPixels(const QImage& image, const QColor& color)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (qAbs(pixel.red() - color.red()) + qAbs(pixel.green() - color.green())
                    + qAbs(pixel.blue() - color.blue())
                < 30)
                ++count;
        }
    }
    return count;
}

} // namespace

class TestRosterDelegate : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void clickOnAButtonReportsTheMemberAndButton_data();
    void clickOnAButtonReportsTheMemberAndButton();
    void clickOnATeamRowReportsTheTeam();
    void clicksElsewhereReportNothing();
    void screenshotRowsAreTallerAndShowTheScreenshot();
    void offlineRowsUseTheOfflineLook();
    void selectedRowsAndTeamRowsUseTheirColours();
    void rowPiecesStayOutOfTheSharedPixmapCache();

private:
    QImage Render(int row, QStyle::State state = QStyle::State_Enabled) const;
    QPoint ButtonPoint(int row, RosterDelegate::BUTTON_TYPES button) const;

    QListWidget* list = nullptr;
    RosterDelegate* delegate = nullptr;
    ListWidgetManager manager;
};

// Rows: 0 team 7, 1 member 70 (working, screenshot), 2 member 71 (offline, screenshot),
// 3 member 72 (online).
void TestRosterDelegate::init()
{
    ListWidgetManager::ListWidgetItem_Style item;
    item.nameFont.setPixelSize(22);
    item.nameFont.setBold(true);
    item.offlineNameFont = item.nameFont;
    item.nameColor = kNameColor;
    item.offlineNameColor = kOfflineNameColor;
    item.backColor2 = kSelectionFill;
    manager.SetItemStyle(item);
    ListWidgetManager::ListWidgetGroup_Style group;
    group.backColor2 = kTeamBand;
    manager.SetGroupStyle(group);

    auto working = Member(7, 70, RosterManager::STATUS_ONLINE_WORKING);
    working.isWorking = true;
    working.memo = QStringLiteral("Drawing rows");
    working.screenshot = Picture(320, 180, kScreenshotColor);
    auto offline = Member(7, 71, RosterManager::STATUS_OFFLINE);
    offline.screenshot = working.screenshot;
    const auto online = Member(7, 72, RosterManager::STATUS_ONLINE);

    list = new QListWidget;
    list->resize(420, 500);
    delegate = new RosterDelegate(list);
    list->setItemDelegate(delegate);
    manager.DrawRosterToListWidget(list, { Team(7, { working, offline, online }) }, true, true);
    list->show();
    QVERIFY(QTest::qWaitForWindowExposed(list));
    QTRY_VERIFY(list->visualItemRect(list->item(3)).isValid());
}

void TestRosterDelegate::cleanup()
{
    delete list;
    list = nullptr;
}

QImage TestRosterDelegate::Render(int row, QStyle::State state) const
{
    const QRect rect = list->visualItemRect(list->item(row));
    QImage image(rect.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.widget = list;
    option.rect = QRect(QPoint(0, 0), rect.size());
    option.state = state;
    delegate->paint(&painter, option, list->model()->index(row, 0));
    return image;
}

QPoint TestRosterDelegate::ButtonPoint(int row, RosterDelegate::BUTTON_TYPES button) const
{
    return delegate->ButtonRect(list->visualItemRect(list->item(row)), button).center();
}

void TestRosterDelegate::clickOnAButtonReportsTheMemberAndButton_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<RosterDelegate::BUTTON_TYPES>("button");
    QTest::addColumn<int>("contactID");

    QTest::newRow("menu") << 3 << RosterDelegate::BUTTON_MENU << 72;
    QTest::newRow("work diary") << 3 << RosterDelegate::BUTTON_WORK_DIARY << 72;
    QTest::newRow("chat") << 3 << RosterDelegate::BUTTON_CHAT << 72;
    QTest::newRow("chat on a screenshot row") << 1 << RosterDelegate::BUTTON_CHAT << 70;
    QTest::newRow("menu on an offline row") << 2 << RosterDelegate::BUTTON_MENU << 71;
}

void TestRosterDelegate::clickOnAButtonReportsTheMemberAndButton()
{
    QFETCH(int, row);
    QFETCH(RosterDelegate::BUTTON_TYPES, button);
    QFETCH(int, contactID);

    const QPoint point = ButtonPoint(row, button);
    QVERIFY(list->visualItemRect(list->item(row)).contains(point));
    QSignalSpy spy(delegate, &RosterDelegate::OnItemClickAction);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, point);

    QCOMPARE(spy.count(), 1);
    const QList<QVariant> args = spy.takeFirst();
    QCOMPARE(args.at(0).toInt(), 7);
    QCOMPARE(args.at(1).toInt(), contactID);
    QCOMPARE(args.at(2).value<RosterDelegate::BUTTON_TYPES>(), button);
    QCOMPARE(args.at(3).toPoint(), list->viewport()->mapTo(list, point));
}

void TestRosterDelegate::clickOnATeamRowReportsTheTeam()
{
    const QPoint point = list->visualItemRect(list->item(0)).center();
    QSignalSpy spy(delegate, &RosterDelegate::OnItemClickAction);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, point);

    QCOMPARE(spy.count(), 1);
    const QList<QVariant> args = spy.takeFirst();
    QCOMPARE(args.at(0).toInt(), 7);
    QCOMPARE(args.at(1).toInt(), -1);
    QCOMPARE(args.at(2).value<RosterDelegate::BUTTON_TYPES>(), RosterDelegate::BUTTON_ROW);
    QCOMPARE(args.at(3).toPoint(), list->viewport()->mapTo(list, point));
}

void TestRosterDelegate::clicksElsewhereReportNothing()
{
    QSignalSpy spy(delegate, &RosterDelegate::OnItemClickAction);
    const QRect row = list->visualItemRect(list->item(3));
    QSignalSpy clicked(list, &QListWidget::clicked);

    // On the name, between two buttons, and with the right button on a button.
    QTest::mouseClick(
        list->viewport(), Qt::LeftButton, {}, QPoint(row.left() + 80, row.center().y()));
    QTest::qWait(QApplication::doubleClickInterval() + 20);
    const QRect chat = delegate->ButtonRect(row, RosterDelegate::BUTTON_CHAT);
    const QRect diary = delegate->ButtonRect(row, RosterDelegate::BUTTON_WORK_DIARY);
    QVERIFY(diary.left() - chat.right() >= 2);
    QTest::mouseClick(
        list->viewport(), Qt::LeftButton, {}, QPoint(chat.right() + 1, chat.center().y()));
    QTest::qWait(QApplication::doubleClickInterval() + 20);
    QTest::mouseClick(
        list->viewport(), Qt::RightButton, {}, ButtonPoint(3, RosterDelegate::BUTTON_CHAT));

    QCOMPARE(spy.count(), 0);
    // The list itself still sees the clicks (the window folds teams and redraws on them).
    QCOMPARE(clicked.count(), 2);
}

void TestRosterDelegate::screenshotRowsAreTallerAndShowTheScreenshot()
{
    QCOMPARE(list->visualItemRect(list->item(0)).height(), 30);
    QCOMPARE(list->visualItemRect(list->item(1)).height(), 130);
    QCOMPARE(list->visualItemRect(list->item(2)).height(), 50); // offline: no screenshot
    QCOMPARE(list->visualItemRect(list->item(3)).height(), 50);

    QVERIFY(CountPixels(Render(1), kScreenshotColor) > 2000);
    QCOMPARE(CountPixels(Render(3), kScreenshotColor), 0);

    // The list paints the same rows through the delegate.
    const QImage shown = list->viewport()->grab().toImage();
    const QRect shotRow = list->visualItemRect(list->item(1));
    QVERIFY(CountPixels(shown.copy(shotRow), kScreenshotColor) > 2000);
    QCOMPARE(CountPixels(shown.copy(list->visualItemRect(list->item(2))), kScreenshotColor), 0);
}

void TestRosterDelegate::offlineRowsUseTheOfflineLook()
{
    const QImage offline = Render(2);
    const QImage online = Render(3);
    QVERIFY(CountPixels(offline, kOfflineNameColor) > 30);
    QCOMPARE(CountPixels(offline, kNameColor), 0);
    QVERIFY(CountPixels(online, kNameColor) > 30);
    QCOMPARE(CountPixels(online, kOfflineNameColor), 0);
}

void TestRosterDelegate::selectedRowsAndTeamRowsUseTheirColours()
{
    const QImage plain = Render(3);
    const QImage selected = Render(3, QStyle::State_Enabled | QStyle::State_Selected);
    const QPoint belowText(plain.width() / 2, plain.height() - 4);
    QCOMPARE(plain.pixelColor(belowText), QColor(Qt::white));
    QCOMPARE(selected.pixelColor(belowText), kSelectionFill);

    const QImage team = Render(0);
    QCOMPARE(team.pixelColor(team.width() / 2, 2), kTeamBand);
    QVERIFY(CountPixels(team, Qt::white) > 20); // the team's name
}

// Qt's shared pixmap cache gives up a quarter of itself on a 10 s timer whenever it rests: the
// row pieces (screenshots, avatars, dots, glyphs) kept there were freed and drawn again in one go
// every 10 s with a large roster. The delegate keeps them itself, drawn alike the second time.
void TestRosterDelegate::rowPiecesStayOutOfTheSharedPixmapCache()
{
    // A shared cache full to its limit: one more piece there would push the first out.
    const int limit = QPixmapCache::cacheLimit();
    QPixmapCache::clear();
    QPixmapCache::setCacheLimit(100);
    QPixmap full(128, 128); // 64 KB
    full.fill(Qt::red);
    QVERIFY(QPixmapCache::insert(QStringLiteral("full"), full));
    QList<QImage> first;
    for (int row = 1; row <= 3; ++row)
        first << Render(row) << Render(row, QStyle::State_Enabled | QStyle::State_Selected);
    QPixmap kept;
    const bool untouched = QPixmapCache::find(QStringLiteral("full"), &kept);
    QPixmapCache::setCacheLimit(limit);
    QVERIFY(untouched);

    QList<QImage> again;
    for (int row = 1; row <= 3; ++row)
        again << Render(row) << Render(row, QStyle::State_Enabled | QStyle::State_Selected);
    QCOMPARE(again, first);
}

QTEST_MAIN(TestRosterDelegate)
#include "tst_rosterdelegate.moc"
