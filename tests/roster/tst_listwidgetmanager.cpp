#include "ListWidgetManager.h"
#include "RosterFixtures.h"

#include <QListWidget>
#include <QtTest>

using Groups = QList<RosterManager::ROSTER_GROUP_ITEM>;

namespace {

// Team 1 (expanded): an online member with a memo and a screenshot, an offline member.
// Team 2 (folded): one member.
Groups SampleRoster()
{
    auto working = Member(1, 10, RosterManager::STATUS_ONLINE_WORKING);
    working.memo = QStringLiteral("Fixing the build");
    working.isWorking = true;
    working.workedTime = QStringLiteral("02:15:00");
    working.avatar = Picture(32, 32, Qt::blue);
    working.screenshot = Picture(160, 90, Qt::green);
    auto offline = Member(1, 11, RosterManager::STATUS_OFFLINE);
    offline.screenshot = Picture(160, 90, Qt::green);
    return { Team(1, { working, offline }), Team(2, { Member(2, 20) }, 0) };
}

// "G<team>" for a team row, "<team>/<member>" for a member row.
QStringList Rows(const QListWidget& list)
{
    QStringList rows;
    for (int row = 0; row < list.count(); ++row) {
        const QList<int> ids = ListWidgetManager::GetGroupAndContactID(list.item(row));
        rows << (ids.size() == 1 ? QStringLiteral("G%1").arg(ids.at(0))
                                 : QStringLiteral("%1/%2").arg(ids.at(0)).arg(ids.at(1)));
    }
    return rows;
}

} // namespace

class TestListWidgetManager : public QObject
{
    Q_OBJECT

private slots:
    void drawsTheRightRows_data();
    void drawsTheRightRows();
    void rowsCarryTheirRoles();
    void screenshotsAreShownForMembersThatAreNotOffline();
    void removeDoubleEntryKeepsTheFirstRowOfEachMember();
    void findsRowsByIds();
    void updateItemByIndexIgnoresRowsOutOfRange();
    void rowGrowsWhenAScreenshotArrives();
    void statusChangeReappliesTheOfflineLook();
    void theNextDrawingUsesTheStoredStyles();
    void statusLabelStyleFollowsTheStatus();
};

void TestListWidgetManager::drawsTheRightRows_data()
{
    QTest::addColumn<bool>("showGroups");
    QTest::addColumn<bool>("showOffline");
    QTest::addColumn<QStringList>("rows");

    QTest::newRow("groups, online only") << true << false << QStringList { "G1", "1/10", "G2" };
    QTest::newRow("groups and offline")
        << true << true << QStringList { "G1", "1/10", "1/11", "G2" };
    // Without team rows folding does not apply: every team's members are drawn.
    QTest::newRow("members only") << false << false << QStringList { "1/10", "2/20" };
    QTest::newRow("members and offline") << false << true << QStringList { "1/10", "1/11", "2/20" };
}

void TestListWidgetManager::drawsTheRightRows()
{
    QFETCH(bool, showGroups);
    QFETCH(bool, showOffline);
    QFETCH(QStringList, rows);

    QListWidget list;
    list.addItem(QStringLiteral("left over from before"));
    ListWidgetManager manager;
    manager.DrawRosterToListWidget(&list, SampleRoster(), showGroups, showOffline);
    QCOMPARE(Rows(list), rows);
}

void TestListWidgetManager::rowsCarryTheirRoles()
{
    QListWidget list;
    ListWidgetManager manager;
    manager.DrawRosterToListWidget(&list, SampleRoster(), true, true);

    const QListWidgetItem* team = list.item(0);
    QVERIFY(ListWidgetManager::isGroup(team));
    QCOMPARE(team->text(), QStringLiteral("Team 1"));
    QCOMPARE(team->data(ListWidgetManager::ROLE_GROUP_ID).toInt(), 1);
    QCOMPARE(team->data(ListWidgetManager::ROLE_CONTACT_ID).toInt(), -1);
    QVERIFY(team->data(ListWidgetManager::ROLE_EXPANDED).toBool());
    QVERIFY(!list.item(3)->data(ListWidgetManager::ROLE_EXPANDED).toBool());

    const QListWidgetItem* member = list.item(1);
    QVERIFY(!ListWidgetManager::isGroup(member));
    QCOMPARE(member->text(), QStringLiteral("Member 10"));
    QCOMPARE(member->data(ListWidgetManager::ROLE_GROUP_ID).toInt(), 1);
    QCOMPARE(member->data(ListWidgetManager::ROLE_CONTACT_ID).toInt(), 10);
    QCOMPARE(
        member->data(ListWidgetManager::ROLE_MEMO).toString(), QStringLiteral("Fixing the build"));
    QCOMPARE(
        member->data(ListWidgetManager::ROLE_WORKED_TIME).toString(), QStringLiteral("02:15:00"));
    QVERIFY(member->data(ListWidgetManager::ROLE_WORKING).toBool());
    QCOMPARE(member->data(ListWidgetManager::ROLE_STATUS).toInt(),
        int(RosterManager::STATUS_ONLINE_WORKING));
    QCOMPARE(member->data(ListWidgetManager::ROLE_AVATAR).value<QPixmap>().size(), QSize(32, 32));

    // Nothing lets Qt's own item handling act on the rows: no check box, no decoration.
    for (int row = 0; row < list.count(); ++row) {
        const QListWidgetItem* item = list.item(row);
        QVERIFY(!(item->flags() & Qt::ItemIsUserCheckable));
        QVERIFY(!(item->flags() & Qt::ItemIsEditable));
        QVERIFY(!item->data(Qt::CheckStateRole).isValid());
        QVERIFY(!item->data(Qt::DecorationRole).isValid());
    }

    QVERIFY(!ListWidgetManager::isGroup(nullptr));
    QVERIFY(ListWidgetManager::GetGroupAndContactID(nullptr).isEmpty());
}

void TestListWidgetManager::screenshotsAreShownForMembersThatAreNotOffline()
{
    QListWidget list;
    ListWidgetManager manager;
    manager.DrawRosterToListWidget(&list, SampleRoster(), true, true);

    const QListWidgetItem* working = list.item(1);
    const QListWidgetItem* offline = list.item(2);
    QCOMPARE(
        working->data(ListWidgetManager::ROLE_SCREENSHOT).value<QPixmap>().size(), QSize(160, 90));
    QVERIFY(!offline->data(ListWidgetManager::ROLE_SCREENSHOT).isValid());
    QCOMPARE(working->sizeHint().height(), 130);
    QCOMPARE(offline->sizeHint().height(), 50);
    QCOMPARE(list.item(0)->sizeHint().height(), 30);

    // A picture without width is no screenshot.
    QListWidgetItem item;
    auto member = Member(1, 30);
    member.screenshot = QPixmap(0, 5);
    manager.ConstructListWidgetItemWithScreenshot(&item, member);
    QVERIFY(!item.data(ListWidgetManager::ROLE_SCREENSHOT).isValid());
    QVERIFY(!item.data(ListWidgetManager::ROLE_WORKING).isValid());
}

void TestListWidgetManager::removeDoubleEntryKeepsTheFirstRowOfEachMember()
{
    auto memo = Member(1, 5);
    memo.memo = QStringLiteral("first");
    const Groups groups { Team(1, { memo, Member(1, 6) }),
        Team(2, { Member(2, 5), Member(2, 7) }) };
    QListWidget list;
    ListWidgetManager manager;

    manager.DrawRosterToListWidget(&list, groups, true, true);
    ListWidgetManager::RemoveDoubleEntry(&list);
    QCOMPARE(Rows(list), (QStringList { "G1", "1/5", "1/6", "G2", "2/7" }));

    manager.DrawRosterToListWidget(&list, groups, false, true);
    ListWidgetManager::RemoveDoubleEntry(&list);
    QCOMPARE(Rows(list), (QStringList { "1/5", "1/6", "2/7" }));
    QCOMPARE(list.item(0)->data(ListWidgetManager::ROLE_MEMO).toString(), QStringLiteral("first"));
    ListWidgetManager::RemoveDoubleEntry(nullptr);
}

void TestListWidgetManager::findsRowsByIds()
{
    QListWidget list;
    ListWidgetManager manager;
    manager.DrawRosterToListWidget(&list, SampleRoster(), true, true);

    QCOMPARE(ListWidgetManager::GetListWidgetItemIndexByGroupIDAndContactID(&list, 1, 11), 2);
    QCOMPARE(ListWidgetManager::GetListWidgetItemIndexByGroupIDAndContactID(&list, 2, 11), -1);
    QCOMPARE(
        ListWidgetManager::GetListWidgetItemIndexByGroupIDAndContactID(&list, 2, 20), -1); // folded
    QCOMPARE(ListWidgetManager::GetListWidgetItemIndexByGroupIDAndContactID(nullptr, 1, 11), -1);
}

void TestListWidgetManager::updateItemByIndexIgnoresRowsOutOfRange()
{
    QListWidget list;
    ListWidgetManager manager;
    manager.DrawRosterToListWidget(&list, SampleRoster(), true, true);
    const QString memo = QStringLiteral("Writing tests");

    manager.UpdateItemByIndex(&list, -1, ListWidgetManager::ROLE_MEMO, memo);
    manager.UpdateItemByIndex(&list, list.count(), ListWidgetManager::ROLE_MEMO, memo);
    manager.UpdateItemByIndex(nullptr, 0, ListWidgetManager::ROLE_MEMO, memo);
    for (int row = 0; row < list.count(); ++row)
        QVERIFY(list.item(row)->data(ListWidgetManager::ROLE_MEMO).toString() != memo);

    manager.UpdateItemByIndex(&list, 1, ListWidgetManager::ROLE_MEMO, memo);
    QCOMPARE(list.item(1)->data(ListWidgetManager::ROLE_MEMO).toString(), memo);
}

void TestListWidgetManager::rowGrowsWhenAScreenshotArrives()
{
    QListWidget list;
    list.resize(360, 400);
    ListWidgetManager manager;
    manager.DrawRosterToListWidget(
        &list, { Team(1, { Member(1, 10), Member(1, 11) }) }, true, true);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QTRY_COMPARE(list.visualItemRect(list.item(1)).height(), 50);
    QCOMPARE(list.visualItemRect(list.item(1)).width(), list.viewport()->width());

    manager.UpdateItemByIndex(
        &list, 1, ListWidgetManager::ROLE_SCREENSHOT, Picture(160, 90, Qt::green));
    QTRY_COMPARE(list.visualItemRect(list.item(1)).height(), 130);
    // The rows below move down with it.
    QCOMPARE(
        list.visualItemRect(list.item(2)).top(), list.visualItemRect(list.item(1)).bottom() + 1);
}

void TestListWidgetManager::statusChangeReappliesTheOfflineLook()
{
    QListWidget list;
    ListWidgetManager manager;
    manager.DrawRosterToListWidget(&list, SampleRoster(), true, true);
    QListWidgetItem* row = list.item(1);

    auto member = SampleRoster().first().contacts.first();
    member.status = RosterManager::STATUS_OFFLINE;
    member.avatar = Picture(16, 16, Qt::gray);
    manager.ConstructListWidgetItemWithUserStatus(row, member);

    QCOMPARE(row->data(ListWidgetManager::ROLE_STATUS).toInt(), int(RosterManager::STATUS_OFFLINE));
    QCOMPARE(row->data(ListWidgetManager::ROLE_AVATAR).value<QPixmap>().size(), QSize(16, 16));
    QCOMPARE(row->sizeHint().height(), 50); // the screenshot is not shown any more
    manager.ConstructListWidgetItemWithUserStatus(nullptr, member);
}

void TestListWidgetManager::theNextDrawingUsesTheStoredStyles()
{
    ListWidgetManager manager;
    ListWidgetManager::ListWidgetItem_Style item;
    item.nameColor = QColor(1, 2, 3);
    item.rowSize = QSize(0, 64);
    item.rowSizeWithScreenshot = QSize(0, 150);
    ListWidgetManager::ListWidgetGroup_Style group;
    group.textColor = QColor(4, 5, 6);
    group.rowSize = QSize(0, 36);
    manager.SetItemStyle(item);
    manager.SetGroupStyle(group);

    QListWidget list;
    QCOMPARE(ListWidgetManager::ItemStyleOf(&list).rowSize, QSize(0, 50)); // never drawn: defaults
    manager.DrawRosterToListWidget(&list, SampleRoster(), true, true);
    QCOMPARE(ListWidgetManager::ItemStyleOf(&list).nameColor, item.nameColor);
    QCOMPARE(ListWidgetManager::GroupStyleOf(&list).textColor, group.textColor);
    QCOMPARE(list.item(0)->sizeHint().height(), 36);
    QCOMPARE(list.item(1)->sizeHint().height(), 150);
    QCOMPARE(list.item(2)->sizeHint().height(), 64);
}

void TestListWidgetManager::statusLabelStyleFollowsTheStatus()
{
    QSet<QString> distinct;
    for (auto status : { RosterManager::STATUS_ONLINE, RosterManager::STATUS_IDLE,
             RosterManager::STATUS_DND, RosterManager::STATUS_OFFLINE })
        distinct.insert(ListWidgetManager::GetStyleForStatus(status));
    QCOMPARE(distinct.size(), 4);
    QCOMPARE(ListWidgetManager::GetStyleForStatus(RosterManager::STATUS_ONLINE_WORKING),
        ListWidgetManager::GetStyleForStatus(RosterManager::STATUS_ONLINE));
}

QTEST_MAIN(TestListWidgetManager)
#include "tst_listwidgetmanager.moc"
