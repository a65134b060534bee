#include "TrackingFixture.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <QScopeGuard>
#include <QTemporaryDir>

using namespace TrackingFixture;

// One state-check tick at a time, against a desktop and network the test sets.
class TestStateChecker : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        QVERIFY(m_service.Start());
        m_service.PointClientsHere();
    }

    void init()
    {
        ResetSettings();
        m_window = std::make_unique<RosterWindow>();
        QVERIFY(SignIn(*m_window));
        Find<OfflineStorage>(*m_window, "offlineStorage")
            ->SetStoragePath(m_cacheDir.filePath(QTest::currentTestFunction()));
        m_desktop = FakeDesktop();
        m_desktop.Install(*m_window);
    }

    void cleanup()
    {
        HideScreenshotPopup();
        m_window.reset();
    }

    void idleWhileTrackingAndBack()
    {
        StartTracking(*m_window, "Atlas", "memo");
        m_desktop.idleMs = 900000;
        LogReader log;
        QCOMPARE(Tick(), 1);
        QCOMPARE(Status(), QString("ONLINE - IDLE"));
        QVERIFY(ToolTip(*m_window).contains("Idle(demo)"));
        QVERIFY(Find<QAction>(*m_window, "actionAvailable")->isChecked());
        QVERIFY(log.Lines().contains("Tracking time stopped by idle time"));
        QCOMPARE(Tick(), 0); // still idle: no new status, no new line
        QCOMPARE(log.Lines().count("Tracking time stopped by idle time"), 1);
        QCOMPARE(m_window->findChild<MiscFunctions*>()->GetUserCompanyID(), 11);

        // An idle time under one second is input; between that and 15 minutes is neither.
        m_desktop.idleMs = 5000;
        QCOMPARE(Tick(), 0);
        m_desktop.idleMs = 300;
        QCOMPARE(Tick(), 1);
        QVERIFY(ToolTip(*m_window).contains("Working(demo)"));
        QCOMPARE(Tick(), 0);
    }

    void idleWhileNotTrackingAndBack()
    {
        m_window->ChangeStatus(RosterManager::STATUS_DND);
        m_desktop.idleMs = 1000000;
        QCOMPARE(Tick(), 1);
        QCOMPARE(Status(), QString("ONLINE - IDLE"));
        QVERIFY(!Find<QAction>(*m_window, "actionAvailable")->isChecked());
        m_desktop.idleMs = 0;
        QCOMPARE(Tick(), 1);
        QVERIFY(ToolTip(*m_window).contains("Do not distrub(demo)"));
    }

    void lockAndScreensaverStopOnlyWithTheSetting_data()
    {
        QTest::addColumn<bool>("lock");
        QTest::addColumn<bool>("setting");
        QTest::newRow("lock, setting on") << true << true;
        QTest::newRow("lock, setting off") << true << false;
        QTest::newRow("screen saver, setting on") << false << true;
        QTest::newRow("screen saver, setting off") << false << false;
    }

    void lockAndScreensaverStopOnlyWithTheSetting()
    {
        QFETCH(bool, lock);
        QFETCH(bool, setting);
        ChangeSettings([&](SettingsProvider::SETTINGS& settings) {
            settings.stopWhileComputerIsLocked = setting;
        });
        StartTracking(*m_window, "Atlas", "memo");
        (lock ? m_desktop.locked : m_desktop.screensaver) = true;
        m_desktop.universeFlag = false;
        m_desktop.network = false;
        LogReader log;
        Tick();
        const bool tracking = m_window->findChild<MiscFunctions*>()->GetUserCompanyID() == 11;
        QCOMPARE(tracking, !setting);
        QCOMPARE(log.Lines().count("Tracking time stopped by system lock"), setting ? 1 : 0);
        // A stop inside the tick: its later steps see tracking off.
        QCOMPARE(log.Lines().contains("Network is disabled now."), !setting);
        QCOMPARE(log.Lines().contains("Show warning window"), !setting);
        if (setting)
            QVERIFY(log.HasInOrder(
                { "Time tracking is stopped. Company: Atlas", "Start search for chats" }));

        // Stopped, or kept on by the setting: no further stop.
        log.Mark();
        Tick();
        QCOMPARE(log.Lines().count("Tracking time stopped by system lock"), 0);
    }

    void chatAndTeamCount_data()
    {
        QTest::addColumn<int>("chats");
        QTest::addColumn<int>("teams");
        QTest::addColumn<QString>("text");
        QTest::newRow("no chat, no team") << 0 << 0 << "as it was";
        QTest::newRow("no chat, one team") << 0 << 1 << "1 group";
        QTest::newRow("no chat, three teams") << 0 << 3 << "3 groups";
        QTest::newRow("one chat") << 1 << 3 << "1 chat";
        QTest::newRow("two chats") << 2 << 3 << "2 chats";
    }

    void chatAndTeamCount()
    {
        QFETCH(int, chats);
        QFETCH(int, teams);
        QFETCH(QString, text);
        QVERIFY(SignIn(*m_window, sampleTeams.mid(0, teams)));
        QList<std::shared_ptr<QWidget>> windows;
        for (int n = 0; n < chats; ++n) {
            windows << std::make_shared<QWidget>();
            windows.last()->setObjectName("ChatDialog");
        }
        auto* status = Find<QLabel>(*m_window, "statusText");
        status->setText("as it was");
        LogReader log;
        Tick();
        QCOMPARE(status->text(), text);
        QCOMPARE(log.Lines().mid(0, 2),
            QStringList(
                { "Start search for chats", "Total finded chat(s): " + QString::number(chats) }));
    }

    // A tick writes its lines only when what they tell changed since the tick before: a quiet
    // working day leaves the activity log as it was.
    void aTickLogsOnlyWhatChanged()
    {
        StartTracking(*m_window, "Atlas", "memo");
        Tick();
        std::shared_ptr<QWidget> chat;
        const QList<QPair<std::function<void()>, QStringList>> steps {
            { [] {}, {} },
            { [&] {
                 chat = std::make_shared<QWidget>();
                 chat->setObjectName("ChatDialog");
             },
                { "Start search for chats", "Total finded chat(s): 1" } },
            { [&] { m_desktop.network = false; }, { "Network is disabled now." } },
            { [] {}, {} },
            { [&] { m_desktop.network = true; }, { "Network is enabled now" } },
            { [&] { m_desktop.idleMs = 900000; }, { "Tracking time stopped by idle time" } },
            { [&] { chat.reset(); }, { "Start search for chats", "Total finded chat(s): 0" } },
            { [&] { m_desktop.idleMs = 0; }, {} },
            // A new tracking period tells the network afresh.
            { [&] {
                 m_window->StopTrackingTime();
                 Tick();
                 m_window->StartTrackingTime();
             },
                { "Network is enabled now" } },
        };
        const QStringList told { "Start search for chats", "Total finded chat(s): 0",
            "Total finded chat(s): 1", "Network is disabled now.", "Network is enabled now",
            "Tracking time stopped by idle time" };
        for (int step = 0; step < steps.size(); ++step) {
            LogReader log;
            steps.at(step).first();
            for (int tick = 0; tick < 3; ++tick)
                Tick();
            QStringList lines = log.Lines();
            lines.erase(std::remove_if(lines.begin(), lines.end(),
                            [&](const QString& line) { return !told.contains(line); }),
                lines.end());
            QVERIFY2(lines == steps.at(step).second, qPrintable(QString::number(step)));
        }
    }

    void theWarningShowsOncePerTrackingPeriod()
    {
        // Made when first shown.
        const auto warning = [] {
            QWidget* found = nullptr;
            for (QWidget* window : QApplication::topLevelWidgets())
                if (window->objectName() == "UniverseDeviceChecker")
                    found = window;
            return found;
        };
        const auto shown = [&warning] { return warning() && warning()->isVisible(); };
        m_desktop.universeFlag = false;
        Tick();
        QVERIFY(!shown()); // not tracking

        StartTracking(*m_window, "Atlas", "memo");
        LogReader log;
        Tick();
        QVERIFY(shown());
        QVERIFY(log.HasInOrder({ "Show warning window", "Show warning window - ok" }));
        warning()->hide();
        Tick();
        Tick();
        QVERIFY(!shown());

        // Access turned on and off again while tracking: shown again.
        m_desktop.universeFlag = true;
        Tick();
        m_desktop.universeFlag = false;
        Tick();
        QVERIFY(shown());
        warning()->hide();

        // The next tracking period shows it again, unless warnings are off.
        m_window->StopTrackingTime();
        m_window->StartTrackingTime();
        Tick();
        QVERIFY(shown());
        warning()->hide();
        ChangeSettings(
            [](SettingsProvider::SETTINGS& settings) { settings.displayWarnings = false; });
        m_window->StopTrackingTime();
        m_window->StartTrackingTime();
        Tick();
        QVERIFY(!shown());
    }

    void networkLossAndReturnWhileTracking()
    {
        StartTracking(*m_window, "Atlas", "memo");
        m_desktop.network = false;
        LogReader log;
        QCOMPARE(Tick(), 1);
        QCOMPARE(Status(), QString("ONLINE - CACHED"));
        QCOMPARE(Tick(), 0);
        QCOMPARE(log.Lines().count("Network is disabled now."), 1);

        m_desktop.network = true;
        QCOMPARE(Tick(), 1);
        QVERIFY(ToolTip(*m_window).contains("Working(demo)"));
        QVERIFY(log.Lines().contains("Network is enabled now"));

        // Not tracking, the network is not looked at.
        m_window->StopTrackingTime();
        m_desktop.network = false;
        log.Mark();
        QCOMPARE(Tick(), 0);
        QVERIFY(!log.Lines().contains("Network is disabled now."));
    }

    void idleAndNetworkLossTogether()
    {
        StartTracking(*m_window, "Atlas", "memo");
        m_desktop.idleMs = 900000;
        m_desktop.network = false;
        QCOMPARE(Tick(), 1);
        QCOMPARE(Status(), QString("ONLINE - IDLE"));
        for (int n = 0; n < 3; ++n)
            QCOMPARE(Tick(), 0);

        // Back at the desk, still without network: the cached status, in one change.
        m_desktop.idleMs = 0;
        QCOMPARE(Tick(), 1);
        QCOMPARE(Status(), QString("ONLINE - CACHED"));
        QCOMPARE(Tick(), 0);

        // Away again: idle shows; the network returns meanwhile; back: working again.
        m_desktop.idleMs = 900000;
        QCOMPARE(Tick(), 1);
        QCOMPARE(Status(), QString("ONLINE - IDLE"));
        m_desktop.network = true;
        QCOMPARE(Tick(), 0);
        m_desktop.idleMs = 0;
        QCOMPARE(Tick(), 1);
        QVERIFY(ToolTip(*m_window).contains("Working(demo)"));
        QCOMPARE(Tick(), 0);
    }

    // A stop while an idle or cached status shows decides by the status behind it.
    void aStopWhileCachedDecidesByTheStatusBehind()
    {
        ChangeSettings([](SettingsProvider::SETTINGS& settings) {
            settings.setMyChatStatusToPrivateWhenStop = false;
        });
        StartTracking(*m_window, "Atlas", "memo");
        m_desktop.network = false;
        Tick();
        QCOMPARE(Status(), QString("ONLINE - CACHED"));
        m_window->StopTrackingTime();
        QVERIFY(ToolTip(*m_window).contains("Online(demo)"));
    }

    // The cached status of a save is taken back to a status that fits the tracking state.
    void aCachedStatusOfASaveIsTakenBack()
    {
        StartTracking(*m_window, "Atlas", "memo");
        QSignalSpy encoded(Find<CaptureEncoder>(*m_window, "captureEncoder"),
            &CaptureEncoder::Finished);
        m_desktop.network = false;
        QVERIFY(TakeCapture(*m_window));
        m_desktop.network = true;
        ScreenshotPopup()->hide(); // saved into the cache once encoded
        QTRY_COMPARE(encoded.count(), 1);
        // The save runs on the event loop's turn after the close.
        QTRY_COMPARE(Status(), QString("ONLINE - CACHED"));
        QCOMPARE(Tick(), 1);
        QVERIFY(ToolTip(*m_window).contains("Working(demo)"));

        // The last capture saved by the stop: the cached status goes while not tracking too.
        m_desktop.network = false;
        QVERIFY(TakeCapture(*m_window));
        m_desktop.network = true;
        m_window->StopTrackingTime();
        QTRY_COMPARE(encoded.count(), 2);
        QTRY_COMPARE(Status(), QString("ONLINE - CACHED"));
        QCOMPARE(Tick(), 1);
        QVERIFY(ToolTip(*m_window).contains("Do not distrub(demo)"));
        QCOMPARE(Tick(), 0);
    }

    // A tick while a capture's grab runs is put off until the grab is back, the fourth in a
    // row at most: its idle-time query would wait behind the grab at the X server.
    void aTickWaitsForARunningGrab()
    {
        StartTracking(*m_window, "Atlas", "memo");
        std::atomic<bool> letGo { false };
        // A failed check must not leave the grab's worker waiting: the window waits for it.
        const auto release = qScopeGuard([&letGo] { letGo = true; });
        std::atomic<int> idleQueries { 0 };
        TrackingEnvironment environment = m_window->Environment();
        const auto grab = environment.grabDesktop;
        environment.grabDesktop = [&letGo, grab] {
            while (!letGo)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return grab();
        };
        const auto idle = environment.idleTime;
        environment.idleTime = [&idleQueries, idle] {
            ++idleQueries;
            return idle();
        };
        m_window->SetEnvironment(environment);

        m_window->StateChecker();
        QVERIFY(idleQueries > 0);
        QSignalSpy grabbed(Find<CaptureEncoder>(*m_window, "captureEncoder"),
            &CaptureEncoder::Grabbed);
        m_window->GetScreenshot();
        for (int tick = 0; tick < 4; ++tick) {
            idleQueries = 0;
            m_window->StateChecker();
            QCOMPARE(idleQueries.load(), 0);
        }
        // The grab outlasts four ticks: the fifth runs all the same.
        m_window->StateChecker();
        QVERIFY(idleQueries > 0);

        // One put off again, which runs once the grab is back.
        idleQueries = 0;
        m_window->StateChecker();
        QCOMPARE(idleQueries.load(), 0);
        letGo = true;
        QVERIFY(grabbed.wait());
        QTRY_VERIFY(idleQueries > 0);
        // Back to every tick.
        idleQueries = 0;
        m_window->StateChecker();
        QVERIFY(idleQueries > 0);
    }

private:
    // One tick; the number of status changes it made.
    int Tick()
    {
        LogReader log;
        m_window->StateChecker();
        const QStringList lines = log.Lines();
        int changes = 0;
        for (const QString& line : lines)
            if (line.startsWith("User status was changed"))
                ++changes;
        return changes;
    }

    QString Status() { return Find<QLabel>(*m_window, "lblUserStatus")->text(); }

    FakeServiceProcess m_service;
    QTemporaryDir m_cacheDir;
    std::unique_ptr<RosterWindow> m_window;
    FakeDesktop m_desktop;
};

QTEST_MAIN(TestStateChecker)
#include "tst_statechecker.moc"
