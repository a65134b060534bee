#include "GapMeter.h"
#include "SignedInWindow.h"

using namespace TrackingFixture;

// The roster of 200 teams x 25 members through the main window's own refresh, as the 60 s timer
// asks for it, against the fake service serving that roster: the longest time the GUI thread is
// kept from its events by the first load and by each later refresh (one memo changed per
// refresh; with avatars, as every 900 s; with a member more, which reloads the roster). The
// window is shown, so the figures include the list's layout and painting, as the stall probe
// sees them in the real client (bench/roster/roster_probe.sh). Run it on a display of its own:
//   tests/run-isolated --x11 build-bench/bench/tracking/bench_rosterrefresh
// BENCH_REFRESHES (default 10) sets the number of refreshes of each kind.
class BenchRosterRefresh : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        QVERIFY(m_service.Start({ "--roster", "200x25", "--update-version", "" }));
        m_service.PointClientsHere();
        ResetSettings();
        m_refreshes = qEnvironmentVariableIsSet("BENCH_REFRESHES")
            ? qEnvironmentVariableIntValue("BENCH_REFRESHES")
            : 10;
        m_window = std::make_unique<SignedInWindow>();
        m_window->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window->window.get()));
        QVERIFY(m_window->SignIn());
    }

    // Sign-in's roster: teams, members, 5,000 avatars and 1,000 screenshots.
    void firstLoad()
    {
        GapMeter meter;
        QElapsedTimer clock;
        clock.start();
        meter.Start();
        QVERIFY(Refresh());
        const double gap = meter.Stop();
        QCOMPARE(m_window->list->count(), 200 * (1 + 25) - 200 * 3); // offline members hidden
        qInfo("first load: longest gap %.1f ms, %.0f ms to the last screenshot", gap,
            clock.nsecsElapsed() / 1e6);
    }

    void refreshWithAMemoChanged()
    {
        Report("refresh, one memo changed", Refreshes([this](int n) {
            return m_service.Control("member",
                { { "id", QString::number(100001 + 25 * (n % 200)) },
                    { "memo", QStringLiteral("Memo %1").arg(n) } });
        }));
        QCOMPARE(
            m_window->Member(100 + (m_refreshes - 1) % 200, 100001 + 25 * ((m_refreshes - 1) % 200))
                .memo,
            QStringLiteral("Memo %1").arg(m_refreshes - 1));
    }

    void refreshWithAvatars()
    {
        Report("refresh with avatars", Refreshes([this](int) {
            m_window->rest->SetIsNeedAvatars(true);
            return true;
        }));
    }

    void refreshWithAMemberMore()
    {
        Report("refresh, a member joins or leaves", Refreshes([this](int n) {
            const QString change = n % 2 ? "remove" : "add";
            return m_service.Control("team", { { "id", "100" }, { change, "100030" } });
        }));
    }

private:
    // One refresh to its last answer; a large roster's pictures take longer than a test waits.
    // An event loop waits, not QTest::qWaitFor, whose sleeps between its looks would count as
    // gaps of the window.
    bool Refresh()
    {
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        connect(&deadline, &QTimer::timeout, &loop, [&loop] { loop.exit(1); });
        connect(
            m_window->rest, &RestAPI::ApiDataOk, &loop, [&loop](const RestAPI::ApiResult& result) {
                if (result.state == RestAPI::AllSnapshotsLoaded)
                    loop.exit(0);
            });
        deadline.start(180000);
        m_window->rest->Roster_GetTeams();
        return loop.exec() == 0;
    }

    // The longest gap of each of the refreshes, `prepare(n)` run before the n-th.
    QList<double> Refreshes(const std::function<bool(int)>& prepare)
    {
        QList<double> gaps;
        for (int n = 0; n < m_refreshes; ++n) {
            if (!prepare(n))
                return {};
            GapMeter meter;
            meter.Start();
            if (!Refresh())
                return {};
            gaps << meter.Stop();
        }
        return gaps;
    }

    void Report(const char* what, QList<double> gaps)
    {
        QVERIFY(!gaps.isEmpty());
        std::sort(gaps.begin(), gaps.end());
        qInfo("%s: longest gap per refresh median %.1f ms [%.1f-%.1f] over %d", what, Median(gaps),
            gaps.first(), gaps.last(), int(gaps.size()));
    }

    FakeServiceProcess m_service;
    std::unique_ptr<SignedInWindow> m_window;
    int m_refreshes = 10;
};

// With BENCH_SLOW_EVENTS=<ms>, every event whose handling takes longer is named: where a gap
// comes from.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_slowMs <= 0)
            return QApplication::notify(receiver, event);
        // Named before: the event may delete its receiver.
        const int type = event->type();
        const QString to
            = receiver->metaObject()->className() + QLatin1Char(' ') + receiver->objectName();
        QElapsedTimer clock;
        clock.start();
        const bool handled = QApplication::notify(receiver, event);
        const double ms = clock.nsecsElapsed() / 1e6;
        if (ms > m_slowMs)
            qInfo("slow event: %.1f ms, type %d, to %s", ms, type, qPrintable(to));
        return handled;
    }

private:
    const int m_slowMs = qEnvironmentVariableIntValue("BENCH_SLOW_EVENTS");
};

int main(int argc, char** argv)
{
    // Ten refreshes with 5,000 avatars take longer than QtTest's five minutes for a function.
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", "3600000");
    TimedApplication app(argc, argv);
    BenchRosterRefresh bench;
    return QTest::qExec(&bench, argc, argv);
}
#include "bench_rosterrefresh.moc"
