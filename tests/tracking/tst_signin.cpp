#include "tracking/RosterWindow.h"

#include "SettingsKeys.h"
#include "SettingsProvider.h"
#include "tracking/WindowPlacement.h"

#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

// Sign-in completion as the sign-in dialog triggers it: the update check, the label of the last
// working time and the saved window geometry, on a 1280 x 1024 display. The service and the
// chat server are closed local ports: the requests leave (the REST trace names them) and fail.
class TestSignIn : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        qputenv("MOVARELQUINTASH_API_URL", "https://127.0.0.1:9");
        qputenv("MOVARELQUINTASH_CHAT_HOST", "127.0.0.1");
        qputenv("MOVARELQUINTASH_CHAT_PORT", "9");
    }

    void init()
    {
        SettingsProvider::SETTINGS settings;
        settings.soundMode = 0;
        SettingsProvider::instance()->SetCurrentSettings(settings);
        m_window = std::make_unique<RosterWindow>();
        m_infoTrace = std::make_unique<QSignalSpy>(
            m_window->findChild<RestAPI*>("infoApi"), &RestAPI::NetworkManagerLogSignal);
    }

    void cleanup()
    {
        m_infoTrace.reset();
        m_window.reset();
    }

    void checksForUpdatesAfterAWeek_data()
    {
        QTest::addColumn<bool>("checkedBefore");
        QTest::addColumn<int>("daysAgo"); // of the last check; negative: ahead of today
        QTest::addColumn<int>("requests");
        QTest::newRow("never checked") << false << 0 << 1;
        QTest::newRow("today") << true << 0 << 0;
        QTest::newRow("7 days ago") << true << 7 << 0;
        QTest::newRow("8 days ago") << true << 8 << 1;
        QTest::newRow("a year ago") << true << 365 << 1;
        // Stored while the clock was ahead: a check made today, which the next week repeats.
        QTest::newRow("tomorrow") << true << -1 << 0;
        QTest::newRow("in ten years") << true << -3650 << 0;
    }

    void checksForUpdatesAfterAWeek()
    {
        QFETCH(bool, checkedBefore);
        QFETCH(int, daysAgo);
        QFETCH(int, requests);
        const QDate today = QDate::currentDate();
        if (checkedBefore)
            SettingsProvider::instance()->SetKeyByName(
                SettingsKeys::updateDate, today.addDays(-daysAgo));
        SignIn(UserInfo());
        QCOMPARE(PostedPaths(*m_infoTrace).count("/k4p/update/check:var"), requests);
        // The check stores nothing; a date ahead of today becomes today.
        const QDate stored = SettingsProvider::instance()->GetCurrentSettings().updateDate;
        if (!checkedBefore)
            QVERIFY(!stored.isValid());
        else
            QCOMPARE(stored, daysAgo < 0 ? today : today.addDays(-daysAgo));
    }

    void showsTheTimeOfTheLastWork_data()
    {
        QTest::addColumn<QString>("lastWork");
        QTest::addColumn<QString>("label");
        QTest::newRow("date and time") << "2026-12-06 16:37"
                                       << "I LAST WORKED AT:  16:37";
        QTest::newRow("no blank") << "yesterday"
                                  << "I LAST WORKED AT: yesterday";
        QTest::newRow("empty") << ""
                               << "I LAST WORKED AT: ";
        QTest::newRow("several blanks") << "Sun 6 Dec 16:37"
                                        << "I LAST WORKED AT:  16:37";
    }

    void showsTheTimeOfTheLastWork()
    {
        QFETCH(QString, lastWork);
        QFETCH(QString, label);
        RestAPI::SecurityUserInfo info = UserInfo();
        info.lastWork = lastWork;
        SignIn(info);
        QCOMPARE(m_window->findChild<QLabel*>("lblUserLastWorked")->text(), label);
        QCOMPARE(m_window->findChild<QLabel*>("lblUserName")->text(), info.fullName);
    }

    void signingInStartsTheSession()
    {
        QSignalSpy restTrace(
            m_window->findChild<RestAPI*>("restApi"), &RestAPI::NetworkManagerLogSignal);
        SignIn(UserInfo());
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_window->findChild<MiscFunctions*>()->GetUsername(), QString("demo"));
        auto* stateTimer = m_window->findChild<QTimer*>("stateTimer");
        QVERIFY(stateTimer->isActive());
        QCOMPARE(stateTimer->interval(), 250);
        QVERIFY(m_window->findChild<QTimer*>("stopReminderTimer")->isActive());
        // Both clients act for the member: the roster and the own status on one, the about
        // text and the tools on the other.
        QCOMPARE(
            PostedPaths(restTrace), QStringList({ "/k4p/teams/list:var", "/k4p/chat/status:var" }));
        QCOMPARE(PostedPaths(*m_infoTrace),
            QStringList({ "/k4p/info/about:var", "/k4p/info/tools:var", "/k4p/update/check:var" }));
        QVERIFY(m_window->findChild<QTimer*>("stateTimer")->isActive());
    }

    void restoresTheSavedGeometry_data()
    {
        QTest::addColumn<QRect>("saved");
        QTest::addColumn<bool>("minimised");
        // A null rect: centred on the desktop; atOriginSmallest: the window's minimum size at the
        // origin.
        QTest::addColumn<QRect>("expected");
        QTest::newRow("never saved") << QRect(0, 0, 304, 425) << false << QRect();
        QTest::newRow("saved at the origin") << QRect(0, 0, 304, 426) << false << atOriginSmallest;
        QTest::newRow("minimised, never saved")
            << QRect(0, 0, 304, 425) << true << atOriginSmallest;
        QTest::newRow("saved larger")
            << QRect(100, 50, 640, 720) << false << QRect(100, 50, 640, 720);
        QTest::newRow("partly off the right edge")
            << QRect(1000, 200, 640, 720) << false << QRect(1000, 200, 640, 720);
        // A monitor that was removed: the window comes back onto the desktop.
        QTest::newRow("on a removed monitor") << QRect(3000, 200, 640, 720) << false << QRect();
        QTest::newRow("above the desktop") << QRect(100, -900, 640, 720) << false << QRect();
        QTest::newRow("taller than the desktop, elsewhere")
            << QRect(3000, 0, 640, 1500) << false << QRect(320, 0, 640, 1024);
        QTest::newRow("larger than the desktop")
            << QRect(10, 10, 5000, 4000) << false << QRect(10, 10, 1280, 1024);
        QTest::newRow("title bar above the desktop")
            << QRect(100, -40, 640, 720) << false << QRect();
        // A sliver on the desktop cannot be taken to move the window back.
        QTest::newRow("10 x 10 pixels at the bottom right")
            << QRect(1270, 1014, 640, 720) << false << QRect();
        QTest::newRow("50 pixels of the title bar at the left")
            << QRect(-590, 200, 640, 720) << false << QRect();
        QTest::newRow("the title bar cut by the bottom")
            << QRect(100, 1010, 640, 720) << false << QRect();
    }

    void restoredWindowsCanBeTakenByTheTitleBar_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QList<QRect>>("screens");
        QTest::addColumn<QRect>("restored"); // a null rect: as saved
        const QRect home(0, 24, 1280, 1000); // a panel along the top
        const QList<QRect> one { home };
        const QList<QRect> two { home, QRect(1280, 0, 800, 600) };
        const QRect centred(320, 164, 640, 720);
        const auto row = [](const char* name, const QRect& frame, const QList<QRect>& screens,
                             const QRect& restored) {
            QTest::newRow(name) << frame << screens << restored;
        };
        row("wholly on", QRect(100, 100, 640, 720), one, QRect());
        row("280 pixels of the title bar on", QRect(1000, 100, 640, 720), one, QRect());
        row("100 pixels on", QRect(1180, 100, 640, 720), one, QRect());
        row("99 pixels on", QRect(1181, 100, 640, 720), one, centred);
        row("a narrow window wholly on", QRect(1200, 100, 80, 90), one, QRect());
        row("a narrow window 79 pixels on", QRect(1201, 100, 80, 90), one, QRect(600, 479, 80, 90));
        row("the title bar under the panel", QRect(100, 10, 640, 720), one, centred);
        row("the title bar at the bottom", QRect(100, 994, 640, 720), one, QRect());
        row("the title bar 1 pixel cut", QRect(100, 995, 640, 720), one, centred);
        row("on the second screen", QRect(1500, 100, 300, 400), two, QRect());
        row("under the second screen", QRect(1500, 700, 300, 400), two, QRect(490, 324, 300, 400));
        row("larger than the screen, elsewhere", QRect(5000, 0, 2000, 1500), one,
            QRect(0, 24, 2000, 1500));
        row("no screens", QRect(100, 100, 640, 720), {}, centred);
    }

    void restoredWindowsCanBeTakenByTheTitleBar()
    {
        QFETCH(QRect, frame);
        QFETCH(QList<QRect>, screens);
        QFETCH(QRect, restored);
        const QRect home(0, 24, 1280, 1000);
        QCOMPARE(
            WindowPlacement::Restored(frame, screens, home), restored.isNull() ? frame : restored);
    }

    void restoresTheSavedGeometry()
    {
        QFETCH(QRect, saved);
        QFETCH(bool, minimised);
        QFETCH(QRect, expected);
        SettingsProvider::instance()->SaveWindowState(saved);
        // A window never saved keeps its own size, which its first showing gives it.
        QSize own;
        if (saved == QRect(0, 0, 304, 425) && !minimised) {
            m_window->show();
            own = m_window->size();
            m_window->hide();
        }
        if (minimised)
            m_window->setWindowState(Qt::WindowMinimized);
        SignIn(UserInfo());
        const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(desktop.size(), QSize(1280, 1024));
        if (expected.isNull()) {
            // The stored size, or the window's own when none was stored.
            const QSize size = saved == QRect(0, 0, 304, 425) ? own : saved.size();
            QCOMPARE(m_window->size(), size);
            QCOMPARE(m_window->pos(),
                QPoint((desktop.left() + desktop.right()) / 2 - (size.width() - 1) / 2,
                    (desktop.top() + desktop.bottom()) / 2 - (size.height() - 1) / 2));
        } else if (expected == atOriginSmallest) {
            QCOMPARE(m_window->geometry(), QRect(QPoint(0, 0), m_window->minimumSize()));
        } else {
            QCOMPARE(m_window->geometry(), expected);
        }
    }

    void timeScaleShortensTheCaptureIntervals_data()
    {
        QTest::addColumn<QByteArray>("scale");
        QTest::addColumn<int>("capture");
        QTest::addColumn<int>("sample");
        QTest::newRow("unset") << QByteArray() << 540000 << 60000;
        QTest::newRow("a tenth") << QByteArray("0.1") << 54000 << 6000;
        QTest::newRow("whole") << QByteArray("1") << 540000 << 60000;
        // Anything but a factor above 0 and up to 1 leaves the intervals alone.
        QTest::newRow("zero") << QByteArray("0") << 540000 << 60000;
        QTest::newRow("negative") << QByteArray("-0.5") << 540000 << 60000;
        QTest::newRow("above 1") << QByteArray("2") << 540000 << 60000;
        QTest::newRow("no number") << QByteArray("fast") << 540000 << 60000;
    }

    void timeScaleShortensTheCaptureIntervals()
    {
        QFETCH(QByteArray, scale);
        QFETCH(int, capture);
        QFETCH(int, sample);
        qputenv("MOVARELQUINTASH_TIME_SCALE", scale);
        RosterWindow window;
        qunsetenv("MOVARELQUINTASH_TIME_SCALE");
        TrackingEnvironment environment = window.Environment();
        environment.randomDraw = [] {
            return 1;
        };
        window.SetEnvironment(environment);
        QCOMPARE(window.GetPopupTimeout(), capture);
        QCOMPARE(window.Scaled(60000), sample);
    }

private:
    static inline const QRect atOriginSmallest { 0, 0, 1, 1 };

    static RestAPI::SecurityUserInfo UserInfo()
    {
        RestAPI::SecurityUserInfo info;
        info.memberId = 1001;
        info.hashKey = "0123456789abcdef";
        info.memberUsername = "demo";
        info.fullName = "Demo Member";
        info.lastWork = "2026-12-06 16:37";
        info.password = "demo123";
        return info;
    }

    // The paths of the form requests in a REST trace, in the order sent.
    static QStringList PostedPaths(const QSignalSpy& trace)
    {
        QStringList paths;
        for (const QList<QVariant>& line : trace) {
            const QStringList words = line.at(0).toString().split(' ');
            if (words.value(1) == "POST")
                paths << words.value(2);
        }
        return paths;
    }

    void SignIn(const RestAPI::SecurityUserInfo& info)
    {
        AuthDialog& dialog = m_window->findChild<MiscFunctions*>()->GetAuthDialog();
        emit dialog.OnAuthComplete("demo", info);
    }

    std::unique_ptr<RosterWindow> m_window;
    std::unique_ptr<QSignalSpy> m_infoTrace;
};

QTEST_MAIN(TestSignIn)
#include "tst_signin.moc"
