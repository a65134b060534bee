#include "TrackingFixture.h"

#include <QPushButton>

using namespace TrackingFixture;

// Starting and stopping time tracking, switching teams and the hotkeys, against the fake
// service, which records the work notices.
class TestTrackingControl : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        QVERIFY(m_service.Start());
        m_service.PointClientsHere();
    }

    void init() { ResetSettings(); }

    void startAndStopSetEveryControl()
    {
        RosterWindow window;
        QVERIFY(SignIn(window));
        auto* misc = window.findChild<MiscFunctions*>();
        QPixmap avatar(20, 20);
        avatar.fill(Qt::darkGreen);
        misc->SetUserAvatar(avatar);
        Find<QComboBox>(window, "cmbCurrentCompany")->setCurrentText("Borealis");
        auto* button = Find<QPushButton>(window, "btnTimeControl");
        auto* state = Find<QLabel>(window, "lblTimeState");
        const int workBefore = m_service.Requests().size();
        LogReader log;

        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QString("Log time OFF"));
        QCOMPARE(state->text(), QString("Log time: ON"));
        QCOMPARE(
            Find<QAction>(window, "actionTrackingTime")->text(), QString("Stop tracking time"));
        QVERIFY(Find<QAction>(window, "actionMemo")->isEnabled());
        QVERIFY(Find<QMenu>(window, "menuScreensnap")->isEnabled());
        QCOMPARE(Find<QLabel>(window, "lblUserStatus")->text(), QString("ONLINE"));
        QCOMPARE(misc->GetTrayIcon().toolTip(), QString("Tessivanor Team Room - Working(demo)"));
        QCOMPARE(misc->GetUserCompanyID(), 12);
        QCOMPARE(misc->GetUserCompany(), QString("Borealis"));
        QCOMPARE(CheckedTeams(window), QStringList { "Borealis" });
        QVERIFY(misc->GetMemoDialog().isVisible());
        QVERIFY(!misc->GetMemoDialog().isModal());
        auto* shots = Find<QTimer>(window, "screenshotTimer");
        auto* ticks = Find<QTimer>(window, "workingTimeTimer");
        QVERIFY(shots->isActive());
        QCOMPARE(shots->interval(), 70000);
        QVERIFY(ticks->isActive());
        QCOMPARE(ticks->interval(), 1000);
        QCOMPARE(state->x() + state->width(), button->x() + button->width());
        QCOMPARE(state->height(), QFontMetrics(state->font()).height());
        QCOMPARE(Find<QLabel>(window, "picUserAvatar")->pixmap(Qt::ReturnByValue).toImage(),
            avatar.toImage());
        QVERIFY(log.HasInOrder({ "Memo dialog was opened", "Reset working time",
            "Time tracking is started. Company: Borealis", "Send start work notify for server" }));
        QTRY_COMPARE(WorkNotices(m_service, workBefore), QStringList { "start 12" });

        log.Mark();
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QString("LOG TIME ON"));
        QCOMPARE(state->text(), QString("Log time: OFF"));
        QCOMPARE(state->x() + state->width(), button->x() + button->width());
        QCOMPARE(
            Find<QAction>(window, "actionTrackingTime")->text(), QString("Start tracking time"));
        QVERIFY(!Find<QAction>(window, "actionMemo")->isEnabled());
        QVERIFY(!Find<QAction>(window, "actionLast_snapshot")->isEnabled());
        QVERIFY(!Find<QMenu>(window, "menuScreensnap")->isEnabled());
        // The setting "private when stopped" is on by default.
        QCOMPARE(Find<QLabel>(window, "lblUserStatus")->text(), QString("DO NOT DISTURB"));
        QCOMPARE(misc->GetUserCompanyID(), -1);
        QVERIFY(misc->GetUserCompany().isEmpty());
        QVERIFY(CheckedTeams(window).isEmpty());
        QVERIFY(!shots->isActive());
        QVERIFY(!ticks->isActive());
        QCOMPARE(Find<QLabel>(window, "picUserAvatar")->pixmap(Qt::ReturnByValue).toImage(),
            misc->GetUserAvatar(false).toImage());
        QVERIFY(ScreenshotPopup()->isVisible());
        QVERIFY(log.HasInOrder(
            { "Try to show time tracking stop message", "Send stop work notify to server",
                "Time tracking is stopped. Company: Borealis", "Reset working time" }));
        QTRY_COMPARE(WorkNotices(m_service, workBefore), QStringList({ "start 12", "stop 12" }));
        ScreenshotPopup()->hide();
    }

    void statusFollowsTheSettings_data()
    {
        QTest::addColumn<bool>("workingAtStart");
        QTest::addColumn<bool>("privateWhenStop");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("whileTracking");
        QTest::addColumn<int>("after");
        QTest::newRow("defaults") << true << true << 4 << 1 << 6;
        QTest::newRow("available stays available") << false << false << 4 << 1 << 4;
        QTest::newRow("busy stays busy") << false << false << 6 << 2 << 6;
        QTest::newRow("busy made working") << true << false << 6 << 1 << 4;
    }

    void statusFollowsTheSettings()
    {
        QFETCH(bool, workingAtStart);
        QFETCH(bool, privateWhenStop);
        QFETCH(int, before);
        QFETCH(int, whileTracking);
        QFETCH(int, after);
        ChangeSettings([&](SettingsProvider::SETTINGS& settings) {
            settings.setMyChatStatusToWorkingAtStart = workingAtStart;
            settings.setMyChatStatusToPrivateWhenStop = privateWhenStop;
        });
        RosterWindow window;
        QVERIFY(SignIn(window));
        window.ChangeStatus(RosterManager::STATUS(before));
        window.StartTrackingTime();
        QCOMPARE(StatusOf(window), whileTracking);
        window.StopTrackingTime();
        QCOMPARE(StatusOf(window), after);
        ScreenshotPopup()->hide();
    }

    void stopPopupOnlyWithNotificationsOn()
    {
        ChangeSettings(
            [](SettingsProvider::SETTINGS& settings) { settings.enableSnapshots = false; });
        RosterWindow window;
        QVERIFY(SignIn(window));
        window.on_btnTimeControl_released();
        window.on_btnTimeControl_released();
        QVERIFY(!ScreenshotPopup()->isVisible());
    }

    void noTeamOrAnUnknownTeamStartsNothing_data()
    {
        QTest::addColumn<QString>("team");
        QTest::newRow("empty combo") << QString();
        QTest::newRow("unknown to the roster") << "Ghost";
    }

    void noTeamOrAnUnknownTeamStartsNothing()
    {
        QFETCH(QString, team);
        RosterWindow window;
        QVERIFY(SignIn(window));
        auto* combo = Find<QComboBox>(window, "cmbCurrentCompany");
        combo->clear();
        if (!team.isEmpty())
            combo->addItem(team);
        auto* misc = window.findChild<MiscFunctions*>();
        QSignalSpy trace(Find<RestAPI>(window, "restApi"), &RestAPI::NetworkManagerLogSignal);
        LogReader log;

        window.on_actionTrackingTime_triggered();
        QCOMPARE(Find<QPushButton>(window, "btnTimeControl")->text(), QString("LOG TIME ON"));
        QCOMPARE(misc->GetUserCompanyID(), -1);
        QVERIFY(misc->GetUserCompany().isEmpty());
        QVERIFY(!Find<QTimer>(window, "screenshotTimer")->isActive());
        QVERIFY(!misc->GetMemoDialog().isVisible());
        QVERIFY(log.Lines().isEmpty());
        for (const QList<QVariant>& line : qAsConst(trace))
            QVERIFY2(
                !line.at(0).toString().contains("/k4p/work/"), qPrintable(line.at(0).toString()));
        // Still stopped: the next toggle is a start again, not a stop.
        window.StopTrackingTime();
        QVERIFY(log.Lines().isEmpty());
    }

    void switchingTeamsStopsTheOldBeforeStartingTheNew()
    {
        RosterWindow window;
        QVERIFY(SignIn(window));
        auto* misc = window.findChild<MiscFunctions*>();
        const int before = m_service.Requests().size();

        emit misc->GetTrayIcon().SelectTeam_Signal("Atlas");
        QCOMPARE(misc->GetUserCompanyID(), 11);
        QCOMPARE(CheckedTeams(window), QStringList { "Atlas" });

        LogReader log;
        TeamAction(window, "Cinder")->trigger();
        QCOMPARE(misc->GetUserCompanyID(), 13);
        QCOMPARE(CheckedTeams(window), QStringList { "Cinder" });
        QCOMPARE(Find<QComboBox>(window, "cmbCurrentCompany")->currentText(), QString("Cinder"));
        QVERIFY(!ScreenshotPopup()->isVisible());
        QVERIFY(!log.Text().contains("Try to show time tracking stop message"));
        QVERIFY(log.HasInOrder({ "Change team", "Change team - start seatch for teams",
            "Time tracking is stopped. Company: Atlas",
            "Time tracking is started. Company: Cinder" }));
        QTRY_COMPARE(WorkNotices(m_service, before).size(), 3);
        QCOMPARE(
            WorkNotices(m_service, before), QStringList({ "start 11", "stop 11", "start 13" }));

        // The switch did not use up the stop popup of the next real stop.
        window.on_btnTimeControl_released();
        QVERIFY(ScreenshotPopup()->isVisible());
        ScreenshotPopup()->hide();
    }

    void choosingTheCurrentTeamStops()
    {
        RosterWindow window;
        QVERIFY(SignIn(window));
        auto* misc = window.findChild<MiscFunctions*>();
        TeamAction(window, "Atlas")->trigger();
        QCOMPARE(misc->GetUserCompanyID(), 11);

        // From the tray.
        LogReader log;
        emit misc->GetTrayIcon().SelectTeam_Signal("Atlas");
        QCOMPARE(misc->GetUserCompanyID(), -1);
        QVERIFY(CheckedTeams(window).isEmpty());
        QVERIFY(log.HasInOrder({ "Change team", "Team name is current team - stop tracking time",
            "Time tracking is stopped. Company: Atlas" }));
        ScreenshotPopup()->hide();

        // From the team menu: the click takes the check off the current team.
        TeamAction(window, "Borealis")->trigger();
        QCOMPARE(misc->GetUserCompanyID(), 12);
        log.Mark();
        TeamAction(window, "Borealis")->trigger();
        QCOMPARE(misc->GetUserCompanyID(), -1);
        QVERIFY(CheckedTeams(window).isEmpty());
        QVERIFY(log.HasInOrder({ "Time tracking is stopped. Company: Borealis", "Change team",
            "Team name is blank - stop tracking time" }));
        // Unchecking while stopped does nothing.
        log.Mark();
        TeamAction(window, "Borealis")->setChecked(true);
        TeamAction(window, "Borealis")->trigger();
        QVERIFY(log.Lines().isEmpty());
        ScreenshotPopup()->hide();

        // A team the roster does not know changes nothing.
        log.Mark();
        window.ChangeTeam("Ghost");
        QCOMPARE(
            log.Lines(), QStringList({ "Change team", "Change team - start seatch for teams" }));
        QCOMPARE(misc->GetUserCompanyID(), -1);
    }

    void hotkeysActOnlySignedInAndInTheirState()
    {
        RosterWindow window;
        QVERIFY(SignIn(window));
        auto* misc = window.findChild<MiscFunctions*>();
        QSignalSpy teamRoom(&misc->GetTrayIcon(), &TrayIcon::OpenTeamRoom_Signal);
        window.SetSignedIn(false);
        for (int hotkey = 0; hotkey <= 9; ++hotkey)
            window.ShortcutActivated(hotkey);
        QCOMPARE(misc->GetUserCompanyID(), -1);
        QCOMPARE(teamRoom.count(), 0);

        window.SetSignedIn(true);
        window.ShortcutActivated(MiscFunctions::SHORTCUT_STOP_TRACKING_TIME);
        QCOMPARE(misc->GetUserCompanyID(), -1);
        window.ShortcutActivated(MiscFunctions::SHORTCUT_START_TRACKING_TIME);
        QCOMPARE(misc->GetUserCompanyID(), 11);
        window.ShortcutActivated(MiscFunctions::SHORTCUT_START_TRACKING_TIME);
        QCOMPARE(misc->GetUserCompanyID(), 11);
        window.ShortcutActivated(MiscFunctions::SHORTCUT_STOP_TRACKING_TIME);
        QCOMPARE(misc->GetUserCompanyID(), -1);
        window.ShortcutActivated(MiscFunctions::SHORTCUT_STOP_TRACKING_TIME);
        QCOMPARE(misc->GetUserCompanyID(), -1);
        window.ShortcutActivated(MiscFunctions::SHORTCUT_OPEN_TEAM_ROOM);
        QCOMPARE(teamRoom.count(), 1);
        for (int other : { -1, 1, 5, 6, 7, 8, 9, 10 })
            window.ShortcutActivated(other);
        QCOMPARE(misc->GetUserCompanyID(), -1);
        QCOMPARE(teamRoom.count(), 1);
        ScreenshotPopup()->hide();
    }

    void timersAreWiredButNotStarted()
    {
        RosterWindow window;
        QVERIFY(SignIn(window));
        const QList<QPair<const char*, int>> intervals { { "restTimer", 60000 },
            { "screensTimer", 120000 }, { "workingTimeTimer", 1000 }, { "avatarsTimer", 900000 } };
        for (const auto& timer : intervals) {
            QCOMPARE(Find<QTimer>(window, timer.first)->interval(), timer.second);
            QVERIFY(!Find<QTimer>(window, timer.first)->isActive());
        }
        for (const char* name :
            { "screenshotTimer", "stopReminderTimer", "stateTimer", "memoReminderTimer" })
            QVERIFY(!Find<QTimer>(window, name)->isActive());

        const int before = m_service.Requests().size();
        window.ResetWorkingTime();
        LogReader log;
        // The working clock's lines tell only its first second from zero.
        Fire(window, "workingTimeTimer");
        Fire(window, "workingTimeTimer");
        Fire(window, "restTimer");
        QCOMPARE(log.Lines(),
            QStringList({ "Working timer  - try to tick", "Working timer - success",
                "Set refreshing user's roster list",
                "Set refreshing user's roster list - success" }));
        QTRY_VERIFY(!m_service.Requests().mid(before).isEmpty());
        QCOMPARE(m_service.Requests().at(before).value("path").toString(),
            QString("/k4p/teams/list:var"));
        // The refresh's answers log lines of their own: let the chain end before looking on.
        QTRY_VERIFY_WITH_TIMEOUT(
            log.Text().contains("Snapshots for users was successfully updated"), 10000);
        log.Mark();
        Fire(window, "screensTimer");
        Fire(window, "avatarsTimer");
        QCOMPARE(log.Lines(),
            QStringList({ "Set load users screenshots for roster list",
                "Set load users screenshots for roster list - success" }));
    }

private:
    static int StatusOf(RosterWindow& window)
    {
        const QString tip = window.findChild<MiscFunctions*>()->GetTrayIcon().toolTip();
        const QList<QPair<QString, int>> words { { "Working(", 1 }, { "Do not disturb(", 2 },
            { "Online(", 4 }, { "Do not distrub(", 6 } };
        for (const auto& word : words)
            if (tip.contains(word.first))
                return word.second;
        return -1;
    }

    // One timeout of the timer, through the event loop, then the timer stopped again.
    static void Fire(RosterWindow& window, const char* name)
    {
        auto* timer = Find<QTimer>(window, name);
        QSignalSpy fired(timer, &QTimer::timeout);
        const int interval = timer->interval();
        timer->start(0);
        QVERIFY(fired.wait(1000));
        timer->stop();
        timer->setInterval(interval);
    }

    FakeServiceProcess m_service;
};

QTEST_MAIN(TestTrackingControl)
#include "tst_trackingcontrol.moc"
