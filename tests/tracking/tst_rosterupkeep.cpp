#include "FakeServiceProcess.h"
#include "SignedInWindow.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

using namespace TrackingFixture;

using Rows = QList<QPair<int, int>>;
using Fields = QMap<QString, QString>;

namespace {

// The sample roster as drawn at start: grouped by team, offline members (1005) hidden.
const Rows atlas { { 11, -1 }, { 11, 1001 }, { 11, 1002 }, { 11, 1003 } };
const Rows borealis { { 12, -1 }, { 12, 1001 }, { 12, 1004 }, { 12, 1006 }, { 12, 1002 } };
const Rows cinder { { 13, -1 }, { 13, 1001 }, { 13, 1007 }, { 13, 1008 } };

const QList<int> withScreenshot { 1002, 1003, 1006, 1007 };

QImage ImageOf(const QVariant& picture)
{
    return picture.value<QPixmap>().toImage();
}

// What the model holds of a member under a row's role; pictures by their size.
QVariant ModelValue(const RosterManager::ROSTER_ITEM& member, int role)
{
    switch (role) {
    case ListWidgetManager::ROLE_MEMO:
        return member.memo;
    case ListWidgetManager::ROLE_STATUS:
        return int(member.status);
    case ListWidgetManager::ROLE_WORKED_TIME:
        return member.workedTime;
    case ListWidgetManager::ROLE_WORKING:
        return member.isWorking;
    case ListWidgetManager::ROLE_SCREENSHOT:
        return member.screenshot.size();
    }
    return {};
}

// Every row stands where the heights of the rows above it put it and is as high as its own
// says: a row that grew or shrank moved the rows below.
bool RowsLaidOutByTheirHeights(QListWidget* list)
{
    int top = list->visualItemRect(list->item(0)).top();
    for (int row = 0; row < list->count(); ++row) {
        const QRect rect = list->visualItemRect(list->item(row));
        if (rect.top() != top || rect.height() != list->item(row)->sizeHint().height()) {
            qWarning("row %d at %d, %d high", row, rect.top(), rect.height());
            return false;
        }
        top += rect.height();
    }
    return true;
}

QVariant RowValue(const QListWidgetItem* row, int role)
{
    const QVariant value = row->data(role);
    return role == ListWidgetManager::ROLE_SCREENSHOT ? QVariant(value.value<QPixmap>().size())
                                                      : value;
}

} // namespace

class TestRosterUpkeep : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        QVERIFY(m_service.Start());
        m_service.PointClientsHere();
    }

    void init() { QVERIFY(m_service.Control("reset")); }

    void firstRosterStartsTheRefreshAndShowsPictures()
    {
        SignedInWindow s;
        QVERIFY(s.SignIn());
        QVERIFY(!s.window->GetRestTimer().isActive());
        QVERIFY(s.Refresh());

        QVERIFY(s.window->GetRestTimer().isActive());
        QVERIFY(s.window->GetAvatarsTimer().isActive());
        QCOMPARE(s.Rows(), atlas + borealis + cinder);

        auto* menu = s.window->findChild<QMenu*>("menuSelect_team");
        QCOMPARE(menu->actions().size(), 3);
        QCOMPARE(menu->actions().at(1)->text(), QString("Borealis"));
        QCOMPARE(menu->actions().at(1)->property("PropertyIDForIDStorage").toInt(), 12);
        QVERIFY(menu->isEnabled());
        QVERIFY(s.window->findChild<QPushButton*>("btnTimeControl")->isEnabled());
        QCOMPARE(s.window->findChild<QComboBox*>("cmbCurrentCompany")->count(), 3);

        for (const auto& row : s.Rows()) {
            if (row.second == -1)
                continue;
            const QListWidgetItem* item = s.Row(row.first, row.second);
            const RosterManager::ROSTER_ITEM member = s.Member(row.first, row.second);
            const QSize avatar = row.second == 1008 ? QSize(0, 0) : QSize(64, 64);
            const QSize screenshot
                = withScreenshot.contains(row.second) ? QSize(320, 200) : QSize(0, 0);
            QCOMPARE(item->data(ListWidgetManager::ROLE_AVATAR).value<QPixmap>().size(), avatar);
            QCOMPARE(member.avatar.size(), avatar);
            QCOMPARE(
                item->data(ListWidgetManager::ROLE_SCREENSHOT).value<QPixmap>().size(), screenshot);
            QCOMPARE(member.screenshot.size(), screenshot);
        }
    }

    void avatarRefreshKeepsScreenshotsAndShownAvatars()
    {
        SignedInWindow s;
        QVERIFY(s.SignIn());
        QVERIFY(s.Refresh());
        const QImage shownAvatar = ImageOf(s.Row(11, 1003)->data(ListWidgetManager::ROLE_AVATAR));
        QVERIFY(m_service.Control("member", { { "id", "1003" }, { "avatar", "broken" } }));

        // What the avatar timer's tick asks for.
        s.rest->SetIsNeedAvatars(true);
        QVERIFY(s.Refresh(RestAPI::AllAvatarsLoaded));

        for (const auto& ids : Rows { { 11, 1002 }, { 12, 1002 }, { 11, 1003 }, { 12, 1006 } }) {
            QCOMPARE(s.Member(ids.first, ids.second).screenshot.size(), QSize(320, 200));
            QCOMPARE(s.Row(ids.first, ids.second)
                         ->data(ListWidgetManager::ROLE_SCREENSHOT)
                         .value<QPixmap>()
                         .size(),
                QSize(320, 200));
        }
        // A failed download leaves the avatar shown in the row and the model.
        QCOMPARE(ImageOf(s.Row(11, 1003)->data(ListWidgetManager::ROLE_AVATAR)), shownAvatar);
        QCOMPARE(s.Member(11, 1003).avatar.toImage(), shownAvatar);
        QCOMPARE(s.Member(11, 1002).avatar.size(), QSize(64, 64));
    }

    void avatarUpdateLeavesMembersItDoesNotName()
    {
        SignedInWindow s;
        QVERIFY(s.SignIn());
        QVERIFY(s.Refresh());
        const QImage before = ImageOf(s.Row(11, 1003)->data(ListWidgetManager::ROLE_AVATAR));

        QList<RosterManager::ROSTER_GROUP_ITEM> teams = s.model->GetRosterList();
        QPixmap red(10, 10);
        red.fill(Qt::red);
        RosterManager::ROSTER_GROUP_ITEM& team = teams[0];
        team.contacts.removeAt(2); // 1003
        team.contacts[1].avatar = red; // 1002
        team.contacts[1].screenshot = QPixmap();
        s.window->UpdateRosterAvatars(teams);

        QCOMPARE(ImageOf(s.Row(11, 1003)->data(ListWidgetManager::ROLE_AVATAR)), before);
        QCOMPARE(ImageOf(s.Row(11, 1002)->data(ListWidgetManager::ROLE_AVATAR)), red.toImage());
        QCOMPARE(s.Member(11, 1002).avatar.toImage(), red.toImage());
        QCOMPARE(s.Member(11, 1002).screenshot.size(), QSize(320, 200));
    }

    void sameMembersGivePartialUpdateKeepingFolds()
    {
        SignedInWindow s;
        QVERIFY(s.SignIn());
        QVERIFY(s.Refresh());
        FoldTeam(s, 12);
        QCOMPARE(s.Rows(), (atlas + Rows { { 12, -1 } } + cinder));

        QVERIFY(m_service.Control("member", { { "id", "1003" }, { "memo", "Release notes" } }));
        QVERIFY(m_service.Control("member", { { "id", "1007" }, { "working", "0" } }));
        QVERIFY(m_service.Control("member", { { "id", "1002" }, { "worked_time", "03:30:00" } }));
        LogReader log;
        QVERIFY(s.Refresh());

        const QStringList lines = log.Lines();
        QVERIFY(lines.contains("Start checking for roster updates"));
        QVERIFY(!lines.contains("Need full roster redraw. Read roster from API object"));
        QCOMPARE(s.Rows(), (atlas + Rows { { 12, -1 } } + cinder));
        QCOMPARE(s.Row(11, 1003)->data(ListWidgetManager::ROLE_MEMO).toString(),
            QString("Release notes"));
        QCOMPARE(s.Member(11, 1003).memo, QString("Release notes"));
        // The working flag alone reaches the model, and the screenshot pass keeps it.
        QVERIFY(!s.Member(13, 1007).isWorking);
        QVERIFY(!s.Row(13, 1007)->data(ListWidgetManager::ROLE_WORKING).toBool());
        QCOMPARE(s.Row(11, 1002)->data(ListWidgetManager::ROLE_WORKED_TIME).toString(),
            QString("03:30:00"));
        QCOMPARE(s.Member(12, 1002).workedTime, QString("03:30:00"));
    }

    // Every change of a member the service reports shows in its row and in the model, and the
    // refresh after keeps it, while the passes before are still being freed.
    void refreshShowsEachChange_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<Fields>("fields");
        QTest::addColumn<int>("team");
        QTest::addColumn<int>("member");
        QTest::addColumn<int>("role");
        QTest::addColumn<QVariant>("shown");
        QTest::newRow("memo") << "member" << Fields { { "id", "1003" }, { "memo", "Release notes" } }
                              << 11 << 1003 << int(ListWidgetManager::ROLE_MEMO)
                              << QVariant(QString("Release notes"));
        // 1002 is listed in two teams: the second team's row changes as well.
        QTest::newRow("memo of a member of two teams")
            << "member" << Fields { { "id", "1002" }, { "memo", "Release notes" } } << 12 << 1002
            << int(ListWidgetManager::ROLE_MEMO) << QVariant(QString("Release notes"));
        QTest::newRow("status, still online")
            << "member" << Fields { { "id", "1004" }, { "status", "6" } } << 12 << 1004
            << int(ListWidgetManager::ROLE_STATUS) << QVariant(int(RosterManager::STATUS_DND));
        QTest::newRow("worked time")
            << "member" << Fields { { "id", "1006" }, { "worked_time", "04:05:06" } } << 12 << 1006
            << int(ListWidgetManager::ROLE_WORKED_TIME) << QVariant(QString("04:05:06"));
        QTest::newRow("stops working")
            << "member" << Fields { { "id", "1007" }, { "working", "0" } } << 13 << 1007
            << int(ListWidgetManager::ROLE_WORKING) << QVariant(false);
        QTest::newRow("starts working with a screenshot")
            << "member" << Fields { { "id", "1004" }, { "working", "1" }, { "snapshot", "yes" } }
            << 12 << 1004 << int(ListWidgetManager::ROLE_SCREENSHOT)
            << QVariant(QSize(320, 200));
        QTest::newRow("screenshot gone")
            << "member" << Fields { { "id", "1003" }, { "working", "0" }, { "snapshot", "no" } }
            << 11 << 1003 << int(ListWidgetManager::ROLE_SCREENSHOT) << QVariant(QSize(0, 0));
        QTest::newRow("another screenshot")
            << "picture"
            << Fields { { "path", "/pictures/snapshot/1002.png" }, { "format", "png" },
                   { "width", "200" }, { "height", "100" } }
            << 11 << 1002 << int(ListWidgetManager::ROLE_SCREENSHOT) << QVariant(QSize(200, 100));
    }

    void refreshShowsEachChange()
    {
        QFETCH(QString, command);
        QFETCH(Fields, fields);
        QFETCH(int, team);
        QFETCH(int, member);
        QFETCH(int, role);
        QFETCH(QVariant, shown);

        SignedInWindow s;
        QVERIFY(s.SignIn());
        QVERIFY(s.Refresh());
        // Shown, as the list lays its rows out differently while hidden.
        s.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(s.window.get()));
        QVERIFY(s.Refresh());
        QVERIFY(RowValue(s.Row(team, member), role) != shown);
        QVERIFY(m_service.Control(command, fields));
        for (int refresh = 0; refresh < 2; ++refresh) {
            QVERIFY(s.Refresh());
            QCOMPARE(s.Rows(), atlas + borealis + cinder);
            QCOMPARE(RowValue(s.Row(team, member), role), shown);
            QCOMPARE(ModelValue(s.Member(team, member), role), shown);
            QVERIFY(RowsLaidOutByTheirHeights(s.list));
        }
    }

    // Each refresh lists the teams again: the same teams keep their menu entries, a renamed
    // one shows its new name in the window's menu and the tray's, its row and the selector.
    void teamMenusFollowTheTeams()
    {
        SignedInWindow s;
        QVERIFY(s.SignIn());
        QVERIFY(s.Refresh());
        auto* menu = s.window->findChild<QMenu*>("menuSelect_team");
        const QList<QAction*> actions = menu->actions();
        QVERIFY(s.Refresh());
        QCOMPARE(menu->actions(), actions);

        QVERIFY(m_service.Control("team", { { "id", "12" }, { "name", "Borealis & Co" } }));
        QVERIFY(s.Refresh());
        QCOMPARE(menu->actions().size(), 3);
        QCOMPARE(menu->actions().at(1)->text(), QString("Borealis & Co"));
        QCOMPARE(menu->actions().at(1)->property("PropertyIDForIDStorage").toInt(), 12);
        QVERIFY(menu->actions().at(1)->isCheckable());
        QVERIFY(TrayAction(s.tray, "Borealis && Co"));
        QVERIFY(!TrayAction(s.tray, "Borealis"));
        QCOMPARE(s.Row(12, -1)->text(), QString("Borealis & Co"));
        QCOMPARE(s.window->findChild<QComboBox*>("cmbCurrentCompany")->itemText(1),
            QString("Borealis & Co"));
    }

    // The refresh sets the team menu's checks again: the tracked team's entry stays checked, and
    // while nothing is tracked no entry is.
    void refreshKeepsOnlyTheTrackedTeamChecked_data()
    {
        QTest::addColumn<bool>("tracking");
        QTest::newRow("tracking") << true;
        QTest::newRow("stopped, an entry left checked") << false;
    }

    void refreshKeepsOnlyTheTrackedTeamChecked()
    {
        QFETCH(bool, tracking);
        SignedInWindow s;
        QVERIFY(s.SignIn());
        QVERIFY(s.Refresh());
        StartTracking(*s.window, "Borealis", "Release notes");
        QCOMPARE(CheckedTeams(*s.window), QStringList { "Borealis" });
        if (!tracking) {
            s.window->StopTrackingTime();
            TeamAction(*s.window, "Cinder")->setChecked(true);
        }
        QVERIFY(s.Refresh());
        QCOMPARE(CheckedTeams(*s.window), tracking ? QStringList { "Borealis" } : QStringList());
    }

    void statusCrossingOfflineChangesRowsAtOnce()
    {
        SignedInWindow s;
        QVERIFY(s.SignIn());
        QVERIFY(s.Refresh());
        QVERIFY(!s.Row(11, 1005));

        QVERIFY(m_service.Control("member", { { "id", "1005" }, { "status", "4" } }));
        QVERIFY(m_service.Control("member", { { "id", "1002" }, { "status", "7" } }));
        QVERIFY(s.Refresh());

        QCOMPARE(s.Rows(),
            (Rows { { 11, -1 }, { 11, 1001 }, { 11, 1003 }, { 11, 1005 }, { 12, -1 }, { 12, 1001 },
                 { 12, 1004 }, { 12, 1006 } }
                + cinder));
        QCOMPARE(s.Member(11, 1005).status, RosterManager::STATUS_ONLINE);
        QCOMPARE(s.Member(12, 1002).status, RosterManager::STATUS_OFFLINE);
        // The redrawn row still has the avatar the model kept.
        QCOMPARE(s.Row(11, 1005)->data(ListWidgetManager::ROLE_AVATAR).value<QPixmap>().size(),
            QSize(64, 64));
    }

    void changedMembersGiveFullRedraw_data()
    {
        QTest::addColumn<int>("team");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QString>("removed");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("one leaves, one joins")
            << 11 << "1004"
            << "1003"
            << Rows { { 11, -1 }, { 11, 1001 }, { 11, 1002 }, { 11, 1004 } } + borealis + cinder;
        QTest::newRow("one joins") << 13 << "1004"
                                   << "" << atlas + borealis + cinder + Rows { { 13, 1004 } };
        QTest::newRow("one leaves")
            << 12 << ""
            << "1006"
            << atlas + Rows { { 12, -1 }, { 12, 1001 }, { 12, 1004 }, { 12, 1002 } } + cinder;
    }

    void changedMembersGiveFullRedraw()
    {
        QFETCH(int, team);
        QFETCH(QString, added);
        QFETCH(QString, removed);
        QFETCH(Rows, rows);

        SignedInWindow s;
        QVERIFY(s.SignIn());
        QVERIFY(s.Refresh());
        FoldTeam(s, 13);
        QMap<QString, QString> change { { "id", QString::number(team) } };
        if (!added.isEmpty())
            change.insert("add", added);
        if (!removed.isEmpty())
            change.insert("remove", removed);
        QVERIFY(m_service.Control("team", change));
        LogReader log;
        QVERIFY(s.Refresh());

        QVERIFY(log.Lines().contains("Need full roster redraw. Read roster from API object"));
        // A full reload unfolds every team again.
        QCOMPARE(s.Rows(), rows);
        // Members who stay keep their pictures.
        QCOMPARE(s.Row(11, 1002)->data(ListWidgetManager::ROLE_AVATAR).value<QPixmap>().size(),
            QSize(64, 64));
        QCOMPARE(s.Member(12, 1002).screenshot.size(), QSize(320, 200));
    }

    void viewOptionsRedrawAndStayInStep()
    {
        SignedInWindow s;
        QVERIFY(s.SignIn());
        QVERIFY(s.Refresh());
        auto* showOffline = s.window->findChild<QAction*>("actionShow_offline_users");
        auto* group = s.window->findChild<QAction*>("actionGroup_users_by_team");

        showOffline->trigger();
        QVERIFY(s.tray.GetOfflineCheckState());
        QVERIFY(s.Row(11, 1005));
        TrayAction(s.tray, "Show offline users")->trigger();
        QVERIFY(!showOffline->isChecked());
        QVERIFY(!s.Row(11, 1005));

        TrayAction(s.tray, "Group users by team")->trigger();
        QVERIFY(!group->isChecked());
        QCOMPARE(s.Rows(),
            (Rows { { 11, 1001 }, { 11, 1002 }, { 11, 1003 }, { 12, 1004 }, { 12, 1006 },
                { 13, 1007 }, { 13, 1008 } }));
        group->trigger();
        QVERIFY(s.tray.GetGroupCheckState());

        emit s.tray.CollapseAll_Signal();
        QCOMPARE(s.Rows(), (Rows { { 11, -1 }, { 12, -1 }, { 13, -1 } }));
        s.window->findChild<QAction*>("actionExpand_all")->trigger();
        QCOMPARE(s.Rows(), atlas + borealis + cinder);
    }

    void clickingATeamRowTwiceRestoresIt()
    {
        SignedInWindow s;
        QVERIFY(s.SignIn());
        QVERIFY(s.Refresh());
        s.list->setCurrentRow(6);

        FoldTeam(s, 11);
        QCOMPARE(s.Rows(), (Rows { { 11, -1 } } + borealis + cinder));
        QCOMPARE(s.list->currentRow(), 6);
        FoldTeam(s, 11);
        QCOMPARE(s.Rows(), atlas + borealis + cinder);
        QCOMPARE(s.list->currentRow(), 6);
        // A member row's click redraws and keeps the pictures.
        emit s.list->clicked(s.list->model()->index(2, 0));
        QCOMPARE(s.Row(11, 1002)->data(ListWidgetManager::ROLE_SCREENSHOT).value<QPixmap>().size(),
            QSize(320, 200));
    }

    void screenshotPassTakesOnlyRealPictures()
    {
        // 1004 lists a screenshot that is 0 x 5 pixels.
        QVERIFY(m_service.Control("member", { { "id", "1004" }, { "snapshot", "broken" } }));
        SignedInWindow s;
        QVERIFY(s.SignIn());
        QVERIFY(s.Refresh());
        QVERIFY(s.Member(12, 1004).screenshot.isNull());
        QVERIFY(
            s.Row(12, 1004)->data(ListWidgetManager::ROLE_SCREENSHOT).value<QPixmap>().isNull());
        QCOMPARE(s.Row(12, 1004)->sizeHint(), s.Row(12, 1001)->sizeHint());
        QVERIFY(s.Row(12, 1004)->sizeHint().height() < s.Row(12, 1006)->sizeHint().height());

        // 1002's download fails; 1003 stops working.
        QVERIFY(m_service.Control("member", { { "id", "1002" }, { "snapshot", "broken" } }));
        QVERIFY(m_service.Control(
            "member", { { "id", "1003" }, { "snapshot", "no" }, { "working", "0" } }));
        QVERIFY(s.Refresh());
        QCOMPARE(s.Member(11, 1002).screenshot.size(), QSize(320, 200));
        QVERIFY(s.Member(11, 1002).isWorking);
        const RosterManager::ROSTER_ITEM stopped = s.Member(11, 1003);
        QVERIFY(!stopped.isWorking);
        QVERIFY(stopped.memo.isEmpty());
        QVERIFY(stopped.screenshot.isNull());
        const QListWidgetItem* row = s.Row(11, 1003);
        QVERIFY(row->data(ListWidgetManager::ROLE_SCREENSHOT).value<QPixmap>().isNull());
        QVERIFY(row->data(ListWidgetManager::ROLE_MEMO).toString().isEmpty());
        QVERIFY(!row->data(ListWidgetManager::ROLE_WORKING).toBool());
    }

    void answersWhileSignedOutChangeNothing()
    {
        SignedInWindow s;
        QVERIFY(s.SignIn(false));
        auto* button = s.window->findChild<QPushButton*>("btnTimeControl");
        const bool enabled = button->isEnabled();
        auto* menu = s.window->findChild<QMenu*>("menuSelect_team");
        const QList<QAction*> teams = menu->actions();
        QVERIFY(s.Refresh());

        QVERIFY(s.Rows().isEmpty());
        QVERIFY(s.model->GetRosterList().isEmpty());
        QVERIFY(!s.window->GetRestTimer().isActive());
        QVERIFY(!s.window->GetAvatarsTimer().isActive());
        QCOMPARE(menu->actions(), teams);
        QCOMPARE(button->isEnabled(), enabled);
    }

    void failedFirstTeamsRequestStillStartsTheRefresh_data()
    {
        QTest::addColumn<bool>("noNetwork");
        QTest::newRow("server error") << false;
        QTest::newRow("no network") << true;
    }

    void failedFirstTeamsRequestStillStartsTheRefresh()
    {
        QFETCH(bool, noNetwork);
        SignedInWindow s;
        QVERIFY(s.SignIn());
        if (noNetwork)
            s.rest->SetNetworkCheck([] { return false; });
        else
            QVERIFY(m_service.Control(
                "fail", { { "mode", "http500" }, { "path", "/k4p/teams/list:var" } }));
        s.rest->Roster_GetTeams();
        QVERIFY(s.WaitForFailure(noNetwork ? RestAPI::NoConnection : RestAPI::GetTeamsState));
        QVERIFY(s.window->GetRestTimer().isActive());
        QVERIFY(s.list->isHidden());

        s.rest->SetNetworkCheck([] { return true; });
        QVERIFY(m_service.Control("reset"));
        LogReader log;
        QVERIFY(s.Refresh());
        QVERIFY(log.Lines().contains("First list load - read team members"));
        QCOMPARE(s.Rows(), atlas + borealis + cinder);
        QVERIFY(!s.list->isHidden());
        QVERIFY(s.window->findChild<QLabel*>("lblNoTeams")->isHidden());
    }

private:
    static void FoldTeam(SignedInWindow& s, int groupID)
    {
        const int row
            = ListWidgetManager::GetListWidgetItemIndexByGroupIDAndContactID(s.list, groupID, -1);
        emit s.list->clicked(s.list->model()->index(row, 0));
    }

    FakeServiceProcess m_service;
};

QTEST_MAIN(TestRosterUpkeep)
#include "tst_rosterupkeep.moc"
