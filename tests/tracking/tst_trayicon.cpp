#include "TrackingFixture.h"

#include <QPainter>

using namespace TrackingFixture;

namespace {

QIcon Swatch(const QColor& colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

const QList<QColor> slotColours { Qt::red, Qt::green, Qt::blue, Qt::cyan, Qt::magenta, Qt::yellow,
    Qt::gray };

ListWidgetManager::ListWidgetItem_Style SwatchStyle()
{
    ListWidgetManager::ListWidgetItem_Style style;
    for (int slot = 0; slot < 7; ++slot)
        style.statusIcons[slot] = Swatch(slotColours[slot]);
    return style;
}

} // namespace

class TestTrayIcon : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        qRegisterMetaType<RosterManager::STATUS>("RosterManager::STATUS");
    }

    void startsSignedOutWithOnlyExitUsable()
    {
        TrayIcon tray;
        QMenu* menu = tray.contextMenu();
        QVERIFY(menu);
        for (const char* text : { "Open Team Room", "Available", "Busy", "Memo...",
                 "Start tracking time", "Last snapshot", "Screensnap", "Show offline users",
                 "Group users by team", "Expand all", "Collapse all", "Sign out" }) {
            QAction* action = FindAction(menu, text);
            QVERIFY2(action, text);
            QVERIFY2(!action->isEnabled(), text);
        }
        QVERIFY(FindAction(menu, "Exit")->isEnabled());
        QVERIFY(FindAction(menu, "Chat status"));
        QVERIFY(FindAction(menu, "Select team"));
        QVERIFY(tray.GetGroupCheckState());
        QVERIFY(!tray.GetOfflineCheckState());
        QVERIFY(!tray.icon().isNull());

        // Signing in builds the menu again; its entries and their state stay.
        tray.ChangeSign(true);
        tray.SetContextMenu();
        QCOMPARE(tray.contextMenu(), menu);
        QCOMPARE(menu->actions().size(), 16);
        QVERIFY(FindAction(menu, "Sign out")->isEnabled());
        QVERIFY(FindAction(menu, "Screensnap")->isEnabled());
        QVERIFY(FindAction(menu, "Start tracking time")->isEnabled());
        QVERIFY(!FindAction(menu, "Last snapshot")->isEnabled());
        tray.SetLastSnapshotEnabled(true);
        QVERIFY(FindAction(menu, "Last snapshot")->isEnabled());
        tray.BlockTrackTimeMenu(false);
        QVERIFY(!FindAction(menu, "Start tracking time")->isEnabled());
        tray.BlockTrackTimeMenu(true);
        tray.ChangeSign(false);
        QVERIFY(!FindAction(menu, "Start tracking time")->isEnabled());
        QVERIFY(!FindAction(menu, "Last snapshot")->isEnabled());
    }

    void statusPicksIconSlotAndChatMark_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("slot");
        QTest::addColumn<bool>("available");
        QTest::addColumn<bool>("busy");
        QTest::newRow("online working") << 1 << 0 << true << false;
        QTest::newRow("dnd working") << 2 << 1 << false << true;
        QTest::newRow("idle working") << 3 << 2 << false << true; // marks kept from the start
        QTest::newRow("online") << 4 << 3 << true << false;
        QTest::newRow("idle") << 5 << 4 << false << true;
        QTest::newRow("dnd") << 6 << 5 << false << true;
        QTest::newRow("offline") << 7 << 5 << false << true;
        QTest::newRow("none") << 0 << 5 << false << true;
        QTest::newRow("out of range") << 42 << 5 << false << true;
    }

    void statusPicksIconSlotAndChatMark()
    {
        QFETCH(int, status);
        QFETCH(int, slot);
        QFETCH(bool, available);
        QFETCH(bool, busy);
        TrayIcon tray;
        tray.ChangeUserStatus(RosterManager::STATUS_DND, SwatchStyle());
        tray.ChangeUserStatus(RosterManager::STATUS(status), SwatchStyle());
        QCOMPARE(IconImage(tray.icon()), IconImage(Swatch(slotColours[slot])));
        QCOMPARE(FindAction(tray.contextMenu(), "Available")->isChecked(), available);
        QCOMPARE(FindAction(tray.contextMenu(), "Busy")->isChecked(), busy);
    }

    void cachedStatusChangesNothing()
    {
        TrayIcon tray;
        tray.ChangeUserStatus(RosterManager::STATUS_ONLINE, SwatchStyle());
        tray.ChangeUserStatus(RosterManager::STATUS_ONLINE_CACHED, SwatchStyle());
        QCOMPARE(IconImage(tray.icon()), IconImage(Swatch(slotColours[3])));
        QVERIFY(FindAction(tray.contextMenu(), "Available")->isChecked());
    }

    void emptyStyleSlotsFallBackToBuiltInPictures_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("picture");
        QTest::newRow("online working") << 1 << ":/tray/trackTimeNormal.ico";
        QTest::newRow("dnd working") << 2 << ":/tray/trackTimeBusy.ico";
        QTest::newRow("idle working") << 3 << ":/tray/trackTimeIdle.ico";
        QTest::newRow("online") << 4 << ":/tray/normal.ico";
        QTest::newRow("idle") << 5 << ":/tray/idle.ico";
        QTest::newRow("dnd") << 6 << ":/tray/busy.ico";
    }

    void emptyStyleSlotsFallBackToBuiltInPictures()
    {
        QFETCH(int, status);
        QFETCH(QString, picture);
        TrayIcon tray;
        tray.ChangeUserStatus(RosterManager::STATUS(status), {});
        QVERIFY(!QIcon(picture).pixmap(QSize(16, 16)).isNull());
        QCOMPARE(IconImage(tray.icon()), IconImage(QIcon(picture)));
    }

    void chatStatusChoicesFollowTracking()
    {
        TrayIcon tray;
        tray.ChangeSign(true);
        QSignalSpy status(&tray, &TrayIcon::ChatStatusChange_Signal);
        QAction* available = FindAction(tray.contextMenu(), "Available");
        QAction* busy = FindAction(tray.contextMenu(), "Busy");
        available->trigger();
        busy->trigger();
        tray.ChangeTrackingTime(true);
        QVERIFY(FindAction(tray.contextMenu(), "Stop tracking time"));
        available->trigger();
        busy->trigger();
        tray.ChangeTrackingTime(false);
        QVERIFY(FindAction(tray.contextMenu(), "Start tracking time"));

        QCOMPARE(status.count(), 4);
        const QList<RosterManager::STATUS> expected { RosterManager::STATUS_ONLINE,
            RosterManager::STATUS_DND, RosterManager::STATUS_ONLINE_WORKING,
            RosterManager::STATUS_DND_WORKING };
        for (int i = 0; i < 4; ++i)
            QCOMPARE(status.at(i).at(0).value<RosterManager::STATUS>(), expected.at(i));
    }

    void teamMenuMarksOnlyTheTeamTheWindowConfirms()
    {
        TrayIcon tray;
        tray.ChangeSign(true);
        RosterManager::ROSTER_GROUP_ITEM atlas;
        atlas.name = "Atlas";
        RosterManager::ROSTER_GROUP_ITEM rnd;
        rnd.name = "R&D";
        tray.SetTeams({ atlas, rnd });
        QAction* teams = FindAction(tray.contextMenu(), "Select team");
        QVERIFY(teams->isEnabled());
        const QList<QAction*> entries = teams->menu()->actions();
        QCOMPARE(entries.size(), 2);

        QSignalSpy selected(&tray, &TrayIcon::SelectTeam_Signal);
        entries.at(1)->trigger();
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(0).toString(), QString("R&D"));
        QVERIFY(!entries.at(1)->isChecked()); // not until the window confirms

        tray.ChangeUserTeam("R&D");
        QVERIFY(!entries.at(0)->isChecked());
        QVERIFY(entries.at(1)->isChecked());
        entries.at(0)->trigger();
        QVERIFY(entries.at(1)->isChecked());
        QVERIFY(!entries.at(0)->isChecked());

        tray.ChangeUserTeam(QString());
        QVERIFY(!entries.at(0)->isChecked());
        QVERIFY(!entries.at(1)->isChecked());

        // A new list keeps the mark of the current team.
        tray.ChangeUserTeam("Atlas");
        tray.SetTeams({ rnd, atlas });
        const QList<QAction*> redrawn = teams->menu()->actions();
        QVERIFY(!redrawn.at(0)->isChecked());
        QVERIFY(redrawn.at(1)->isChecked());

        tray.SetTeams({});
        QVERIFY(!teams->isEnabled());
    }

    void menuItemsEmitTheirSignals()
    {
        TrayIcon tray;
        tray.ChangeSign(true);
        QMenu* menu = tray.contextMenu();
        QSignalSpy openRoom(&tray, &TrayIcon::OpenTeamRoom_Signal);
        QSignalSpy memo(&tray, &TrayIcon::OpenMemo_Signal);
        QSignalSpy tracking(&tray, &TrayIcon::TrackingTime_Signal);
        QSignalSpy lastSnapshot(&tray, &TrayIcon::LastSnapshot_Signal);
        QSignalSpy signOut(&tray, &TrayIcon::SingOut_Signal);
        QSignalSpy exitApp(&tray, &TrayIcon::ExitApp_Singal);
        QSignalSpy offline(&tray, &TrayIcon::ShowOfflineUsers_Signal);
        QSignalSpy groups(&tray, &TrayIcon::ShowGroups_Signal);
        QSignalSpy expand(&tray, &TrayIcon::ExpandAll_Signal);
        QSignalSpy collapse(&tray, &TrayIcon::CollapseAll_Signal);
        tray.SetLastSnapshotEnabled(true);
        for (const char* text :
            { "Open Team Room", "Memo...", "Start tracking time", "Last snapshot", "Sign out",
                "Exit", "Show offline users", "Group users by team", "Expand all", "Collapse all" })
            FindAction(menu, text)->trigger();
        for (QSignalSpy* spy : { &openRoom, &memo, &tracking, &lastSnapshot, &signOut, &exitApp,
                 &offline, &groups, &expand, &collapse })
            QCOMPARE(spy->count(), 1);
        QCOMPARE(offline.at(0).at(0).toBool(), true);
        QCOMPARE(groups.at(0).at(0).toBool(), false);
        QVERIFY(tray.GetOfflineCheckState());
        QVERIFY(!tray.GetGroupCheckState());
    }

    void clickOpensTheRoomOrTogglesTrackingOnlyWhenSignedIn()
    {
        TrayIcon tray;
        QSignalSpy openRoom(&tray, &TrayIcon::OpenTeamRoom_Signal);
        QSignalSpy tracking(&tray, &TrayIcon::TrackingTime_Signal);
        tray.OnTrayDoubleClick(QSystemTrayIcon::DoubleClick);
        QCOMPARE(openRoom.count() + tracking.count(), 0);

        tray.ChangeSign(true);
        tray.OnTrayDoubleClick(QSystemTrayIcon::DoubleClick);
        tray.OnTrayDoubleClick(QSystemTrayIcon::Trigger);
        tray.OnTrayDoubleClick(QSystemTrayIcon::Context);
        tray.OnTrayDoubleClick(QSystemTrayIcon::MiddleClick);
        QCOMPARE(openRoom.count(), 2);
        QCOMPARE(tracking.count(), 0);

        SettingsProvider settings;
        SettingsProvider::SETTINGS values = settings.GetCurrentSettings();
        values.openTeamRoomOrWorkWithTrackingTime = false;
        settings.SetCurrentSettings(values);
        emit tray.activated(QSystemTrayIcon::Trigger);
        QCOMPARE(tracking.count(), 1);
        QCOMPARE(openRoom.count(), 2);
    }
};

QTEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
