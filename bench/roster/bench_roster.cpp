#include "ListWidgetManager.h"
#include "RosterDelegate.h"

#include <QListWidget>
#include <QPainter>
#include <QtTest>

namespace {

constexpr int kTeams = 200;
constexpr int kMembersPerTeam = 25;

QPixmap Avatar(int seed)
{
    QPixmap avatar(64, 64);
    avatar.fill(QColor::fromHsl(seed % 360, 120, 140));
    return avatar;
}

// A large roster as the service delivers it: every member with an avatar, memo and worked
// time, every fifth one tracking with a screenshot, every seventh offline.
QList<RosterManager::ROSTER_GROUP_ITEM> LargeRoster()
{
    QPixmap screenshot(1280, 800);
    screenshot.fill(Qt::darkCyan);
    QList<RosterManager::ROSTER_GROUP_ITEM> teams;
    for (int t = 0; t < kTeams; ++t) {
        RosterManager::ROSTER_GROUP_ITEM team;
        team.groupID = 1000 + t;
        team.name = QStringLiteral("Team %1").arg(t);
        for (int m = 0; m < kMembersPerTeam; ++m) {
            RosterManager::ROSTER_ITEM member;
            member.groupID = team.groupID;
            member.contactID = t * kMembersPerTeam + m;
            member.fullName = QStringLiteral("Member %1").arg(member.contactID);
            member.userName = QStringLiteral("member%1").arg(member.contactID);
            member.memo = QStringLiteral("Working on task %1").arg(m);
            member.workedTime = QStringLiteral("03:%1:00").arg(m, 2, 10, QLatin1Char('0'));
            member.avatar = Avatar(member.contactID);
            member.status
                = m % 7 == 0 ? RosterManager::STATUS_OFFLINE : RosterManager::STATUS_ONLINE;
            if (m % 5 == 0 && member.status != RosterManager::STATUS_OFFLINE) {
                member.status = RosterManager::STATUS_ONLINE_WORKING;
                member.isWorking = true;
                member.screenshot = screenshot;
            }
            team.contacts.append(member);
        }
        teams.append(team);
    }
    return teams;
}

} // namespace

class BenchRoster : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fullRedraw();
    void fullRedrawShown();
    void updateOneRowMemo();
    void updateOneRowScreenshotShown();

private:
    QList<RosterManager::ROSTER_GROUP_ITEM> roster;
    QListWidget* list = nullptr;
    ListWidgetManager manager;
};

void BenchRoster::init()
{
    roster = LargeRoster();
    list = new QListWidget;
    list->resize(420, 800);
    list->setItemDelegate(new RosterDelegate(list));
    manager.DrawRosterToListWidget(list, roster, true, true);
    list->show();
    QVERIFY(QTest::qWaitForWindowExposed(list));
    QCoreApplication::processEvents();
}

void BenchRoster::cleanup()
{
    delete list;
    list = nullptr;
}

// The redraw call itself: the list is cleared and filled again.
void BenchRoster::fullRedraw()
{
    QBENCHMARK
    {
        manager.DrawRosterToListWidget(list, roster, true, true);
    }
    QCOMPARE(list->count(), kTeams * (kMembersPerTeam + 1));
}

// The redraw as the member sees it: the call, the list's layout and the painting of the
// visible rows.
void BenchRoster::fullRedrawShown()
{
    QBENCHMARK
    {
        manager.DrawRosterToListWidget(list, roster, true, true);
        list->doItemsLayout();
        list->viewport()->repaint();
    }
}

// The call and the repaint of that row.
void BenchRoster::updateOneRowMemo()
{
    const int row = 3; // a visible member row
    int n = 0;
    QBENCHMARK
    {
        manager.UpdateItemByIndex(
            list, row, ListWidgetManager::ROLE_MEMO, QStringLiteral("Memo %1").arg(++n));
        QCoreApplication::processEvents();
    }
}

// A screenshot changes the row's height, so the list lays its rows out again before the
// visible rows are painted.
void BenchRoster::updateOneRowScreenshotShown()
{
    QPixmap screenshot(1280, 800);
    screenshot.fill(Qt::darkGreen);
    const int row = 4;
    int n = 0;
    QBENCHMARK
    {
        manager.UpdateItemByIndex(list, row, ListWidgetManager::ROLE_SCREENSHOT,
            ++n % 2 ? QVariant(screenshot) : QVariant(QPixmap()));
        QCoreApplication::processEvents();
        list->viewport()->repaint();
    }
}

QTEST_MAIN(BenchRoster)
#include "bench_roster.moc"
