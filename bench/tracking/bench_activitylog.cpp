#include "TrackingFixture.h"

using namespace TrackingFixture;

// How much the activity log grows while a signed-in member tracks time and nothing happens:
// the client signed in at the fake service as sign-in completion leaves it, tracking, its own
// timers and the desktop's own queries running, no input, for BENCH_MINUTES (10 by default)
// of real time. Run it by hand on a display of its own:
//   tests/run-isolated --x11 build-bench/bench/tracking/bench_activitylog
class BenchActivityLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        QVERIFY(m_service.Start());
        m_service.PointClientsHere();
        // No chat server: the chat client's attempts are events of their own, not the log's.
        qputenv("MOVARELQUINTASH_CHAT_HOST", "127.0.0.1");
        qputenv("MOVARELQUINTASH_CHAT_PORT", "9");
        ResetSettings();
    }

    void trackingWithoutEvents()
    {
        const int minutes = qEnvironmentVariableIsSet("BENCH_MINUTES")
            ? qEnvironmentVariableIntValue("BENCH_MINUTES")
            : 10;
        RosterWindow window;
        RestAPI signIn;
        signIn.Login("demo", "demo123");
        QVERIFY(QTest::qWaitFor([&] { return signIn.IsLoggedIn(); }, 10000));
        window.OnAuthCompete("demo", signIn.GetCurrentUserInfo());
        QTest::qWait(3000); // the sign-in's roster, pictures and tools
        StartTracking(window, "Atlas", "Benchmarking the log");

        const qint64 before = QFile(ActivityLogPath()).size();
        const int uploads = m_service.Uploads().size();
        QTest::qWait(minutes * 60 * 1000);
        const qint64 grown = QFile(ActivityLogPath()).size() - before;
        qInfo("activity log growth over %d minutes of tracking without events: %lld bytes "
              "(%d captures uploaded meanwhile)",
            minutes, grown, m_service.Uploads().size() - uploads);
        if (qEnvironmentVariableIsSet("BENCH_PRINT_LOG"))
            qInfo().noquote() << ActivityLog(before);
        HideScreenshotPopup();
    }

private:
    FakeServiceProcess m_service;
};

int main(int argc, char** argv)
{
    // The run is longer than QtTest's five minutes for a test function.
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", "3600000");
    QApplication app(argc, argv);
    BenchActivityLog bench;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&bench, argc, argv);
}
#include "bench_activitylog.moc"
