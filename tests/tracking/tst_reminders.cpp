#include "../DesignFont.h"
#include "TrackingFixture.h"

#include <QPushButton>
#include <QStackedWidget>

using namespace TrackingFixture;

// The stop reminder with its dialog, the memo reminder and the memo dialog's answers. Timers
// are driven by calling their slots.
class TestReminders : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        UseDesignFont();
        QVERIFY(m_service.Start());
        m_service.PointClientsHere();
    }

    void init()
    {
        ResetSettings();
        m_window = std::make_unique<RosterWindow>();
        QVERIFY(SignIn(*m_window));
        m_desktop = FakeDesktop();
        m_desktop.Install(*m_window);
        m_misc = m_window->findChild<MiscFunctions*>();
    }

    void cleanup()
    {
        HideScreenshotPopup();
        m_window.reset();
    }

    void intervalOfEachListPosition_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("interval");
        QTest::newRow("2 minutes") << 0 << 120000;
        QTest::newRow("5 minutes") << 1 << 300000;
        QTest::newRow("10 minutes") << 2 << 600000;
        QTest::newRow("15 minutes") << 3 << 900000;
        QTest::newRow("30 minutes") << 4 << 1800000;
        QTest::newRow("below the list") << -1 << 900000;
        QTest::newRow("past the list") << 5 << 900000;
        QTest::newRow("far past the list") << 1000 << 900000;
    }

    void intervalOfEachListPosition()
    {
        QFETCH(int, index);
        QFETCH(int, interval);
        QCOMPARE(StopReminder::RemindInterval(index), interval);
        ChangeSettings(
            [&](SettingsProvider::SETTINGS& settings) { settings.stopReminderTimeout = index; });
        m_window->StartStopReminderCheck();
        auto* timer = Find<QTimer>(*m_window, "stopReminderTimer");
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), interval);
    }

    void theStopReminderIsArmedOnlyWhenWanted()
    {
        auto* timer = Find<QTimer>(*m_window, "stopReminderTimer");
        ChangeSettings(
            [](SettingsProvider::SETTINGS& settings) { settings.setReminderOnStop = false; });
        m_window->StartStopReminderCheck();
        QVERIFY(!timer->isActive());

        ResetSettings();
        StartTracking(*m_window, "Atlas", "memo");
        m_window->StartStopReminderCheck();
        QVERIFY(!timer->isActive());
        // Every stop arms it; stops in a row keep one connection, so one reminder per tick.
        ChangeSettings([](SettingsProvider::SETTINGS& settings) { settings.stopReminderType = 1; });
        m_window->StopTrackingTime();
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 900000);
        m_window->StartTrackingTime();
        m_window->StopTrackingTime();
        m_window->StartStopReminderCheck();
        QSignalSpy fired(timer, &QTimer::timeout);
        timer->start(0);
        QVERIFY(fired.wait(1000));
        timer->stop();
        QCOMPARE(m_desktop.trayWarnings.size(), 1);
    }

    void theStopReminderTakesItsKind_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("type");
        QTest::newRow("dialog") << 0 << 0;
        QTest::newRow("balloon") << 1 << 1;
        QTest::newRow("none") << 2 << 2;
        QTest::newRow("unknown, read as the default dialog") << 7 << 0;
    }

    void theStopReminderTakesItsKind()
    {
        QFETCH(int, stored);
        QFETCH(int, type);
        ChangeSettings(
            [&](SettingsProvider::SETTINGS& settings) { settings.stopReminderType = stored; });
        m_misc->SetMemo("Release notes");
        StopReminder& dialog = m_misc->GetStopReminder();

        m_window->OnStopTimerReminder();
        QCOMPARE(dialog.isVisible(), type == 0);
        QCOMPARE(m_desktop.trayWarnings.size(), type == 1 ? 1 : 0);
        if (type == 0) {
            QVERIFY(dialog.isModal());
            QCOMPARE(Find<QLabel>(dialog, "lblMemo")->text(), QString("Memo: Release notes"));
            dialog.close();
        }
        if (type == 1) {
            QCOMPARE(m_desktop.trayWarnings.first().first, QString("Stop reminder"));
            QCOMPARE(m_desktop.trayWarnings.first().second,
                QString("Time tracking is stopped!\n\n Memo: Release notes"));
        }

        // Silent while tracking.
        StartTracking(*m_window, "Atlas", "memo");
        m_window->OnStopTimerReminder();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(m_desktop.trayWarnings.size(), type == 1 ? 1 : 0);
    }

    void theDialogSnoozesStartsAndOpensTheMemo()
    {
        StopReminder& dialog = m_misc->GetStopReminder();
        m_misc->SetMemo(QString(100, QLatin1Char('x')));
        m_window->OnStopTimerReminder();
        auto* memoLabel = Find<QLabel>(dialog, "lblMemo");
        QVERIFY(memoLabel->text().startsWith("Memo: xxx"));
        QVERIFY(memoLabel->text().endsWith(QChar(0x2026)));
        QVERIFY(
            memoLabel->fontMetrics().horizontalAdvance(memoLabel->text()) <= memoLabel->width());
        QCOMPARE(dialog.size(), QSize(403, 122));
        auto* caption = Find<QLabel>(dialog, "label_3");
        QCOMPARE(Find<QComboBox>(dialog, "cmbTimeout")->x(), caption->x() + caption->width());

        // Snooze: away, and back every interval until closed.
        Find<QComboBox>(dialog, "cmbTimeout")->setCurrentIndex(4);
        Find<QPushButton>(dialog, "btnSnooze")->click();
        auto* snooze = Find<QTimer>(dialog, "remindTimer");
        QVERIFY(!dialog.isVisible());
        QVERIFY(snooze->isActive());
        QCOMPARE(snooze->interval(), 1800000);
        dialog.OnRemindTimer();
        QVERIFY(dialog.isVisible());
        QVERIFY(snooze->isActive());
        dialog.close();
        QVERIFY(!snooze->isActive());

        // Memo... opens the memo dialog.
        m_window->OnStopTimerReminder();
        LogReader log;
        Find<QPushButton>(dialog, "btnChangeMemo")->click();
        QVERIFY(!dialog.isVisible());
        QVERIFY(m_misc->GetMemoDialog().isVisible());
        QVERIFY(m_misc->GetMemoDialog().isModal());
        QCOMPARE(log.Lines(), QStringList { "Memo dialog was opened" });
        m_misc->GetMemoDialog().hide();

        // Start starts tracking.
        m_window->OnStopTimerReminder();
        Find<QPushButton>(dialog, "btnStartTrackingTime")->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(m_misc->GetUserCompanyID(), 11);
    }

    // What sign-out closes and what tracking's start closes.
    void aSnoozedReminderEndsWithTrackingAndWithClose()
    {
        StopReminder& dialog = m_misc->GetStopReminder();
        auto* snooze = Find<QTimer>(dialog, "remindTimer");
        m_window->OnStopTimerReminder();
        Find<QPushButton>(dialog, "btnSnooze")->click();
        QVERIFY(snooze->isActive());
        StartTracking(*m_window, "Atlas", "memo");
        QVERIFY(!snooze->isActive());
        QVERIFY(!dialog.isVisible());

        m_window->StopTrackingTime();
        m_window->OnStopTimerReminder();
        Find<QPushButton>(dialog, "btnSnooze")->click();
        dialog.close();
        QVERIFY(!snooze->isActive());
        QVERIFY(!dialog.isVisible());
    }

    void theMemoReminderFiresOncePerMemo_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QString>("shown");
        QTest::newRow("dialog") << 0 << "Fixing bugs"
                                << "Memo: Fixing bugs";
        QTest::newRow("popup") << 1 << "Fixing bugs"
                               << "Fixing bugs";
        QTest::newRow("popup, blank memo") << 1 << "   "
                                           << "Please set memo...";
        QTest::newRow("none") << 2 << "Fixing bugs" << QString();
    }

    void theMemoReminderFiresOncePerMemo()
    {
        QFETCH(int, type);
        QFETCH(QString, memo);
        QFETCH(QString, shown);
        ChangeSettings(
            [&](SettingsProvider::SETTINGS& settings) { settings.memoReminderType = type; });
        auto* timer = Find<QTimer>(*m_window, "memoReminderTimer");
        m_window->SetMemo(memo, 0);
        QVERIFY(!timer->isActive());
        m_window->SetMemo(memo, 30 * 60 * 1000);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 30 * 60 * 1000);
        // A text notice is up when the reminder comes: it makes way.
        ScreenshotPopup()->ShowPopup(
            "demo", "Atlas", "Time tracking has been stopped", 60000, 5, false);

        QSignalSpy fired(timer, &QTimer::timeout);
        timer->setInterval(0);
        QVERIFY(fired.wait(1000));
        QVERIFY(!timer->isActive());
        RemindDialog& dialog = m_misc->GetRemindDialog();
        QCOMPARE(dialog.isVisible(), type == 0);
        if (type == 0)
            QCOMPARE(Find<QLabel>(dialog, "lblMemo")->text(), shown);
        if (type == 1) {
            popupWindow* popup = ScreenshotPopup();
            QVERIFY(popup->isVisible());
            QCOMPARE(Find<QStackedWidget>(*popup, "stackedWidget")->currentIndex(), 1);
            QCOMPARE(Find<QLabel>(*popup, "lblMemo")->text(), shown);
            QCOMPARE(Find<QPushButton>(*popup, "btnMemo")->text(), QString("Memo..."));
            // Its button opens the memo dialog.
            Find<QPushButton>(*popup, "btnMemo")->click();
            QVERIFY(m_misc->GetMemoDialog().isVisible());
        }
        if (type == 2)
            QCOMPARE(Find<QStackedWidget>(*ScreenshotPopup(), "stackedWidget")->currentIndex(), 0);
    }

    void cancellingTheMemoDialog()
    {
        Memo& memo = m_misc->GetMemoDialog();
        // With a memo nothing happens.
        StartTracking(*m_window, "Atlas", "kept");
        memo.reject();
        QCOMPARE(m_misc->GetUserCompanyID(), 11);
        QCOMPARE(m_misc->GetMemo(), QString("kept"));

        // Tracking never runs without a memo: the start asks for one, a cancel stops.
        m_window->StopTrackingTime();
        ScreenshotPopup()->hide();
        m_window->StartTrackingTime();
        QVERIFY(m_misc->GetMemo().isEmpty());
        memo.reject();
        QCOMPARE(m_misc->GetUserCompanyID(), -1);
        QVERIFY(ScreenshotPopup()->isVisible());
        ScreenshotPopup()->hide();

        // Not tracking and no memo: a cancel starts, and the cancel of that start's memo stops
        // without the stop notice.
        memo.reject();
        QCOMPARE(m_misc->GetUserCompanyID(), 11);
        memo.reject();
        QCOMPARE(m_misc->GetUserCompanyID(), -1);
        QVERIFY(!ScreenshotPopup()->isVisible());
    }

    void theMemoDialogOpensFromEveryRoad()
    {
        Memo& memo = m_misc->GetMemoDialog();
        const auto roads = QList<std::function<void()>> {
            [&] { m_window->on_actionMemo_triggered(); },
            [&] { emit m_misc->GetTrayIcon().OpenMemo_Signal(); },
            [&] { emit ScreenshotPopup()->OnMemoCall(); },
            [&] { m_window->ShortcutActivated(MiscFunctions::SHORTCUT_OPEN_MEMO); },
        };
        for (const auto& road : roads) {
            memo.hide();
            LogReader log;
            road();
            QVERIFY(memo.isVisible());
            QVERIFY(memo.isModal());
            QCOMPARE(log.Lines(), QStringList { "Memo dialog was opened" });
        }
        // An OK sets the memo and its reminder.
        memo.hide();
        emit memo.MemoIsChanged("From the dialog", 15 * 60 * 1000);
        QCOMPARE(m_misc->GetMemo(), QString("From the dialog"));
        QCOMPARE(Find<QTimer>(*m_window, "memoReminderTimer")->interval(), 15 * 60 * 1000);
    }

private:
    FakeServiceProcess m_service;
    std::unique_ptr<RosterWindow> m_window;
    FakeDesktop m_desktop;
    MiscFunctions* m_misc = nullptr;
};

QTEST_MAIN(TestReminders)
#include "tst_reminders.moc"
