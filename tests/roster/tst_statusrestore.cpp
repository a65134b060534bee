#include "StatusRestore.h"

#include <QtTest>

using Status = RosterManager::STATUS;

namespace {

const QHash<QString, Status> statusNames {
    { "online working", RosterManager::STATUS_ONLINE_WORKING },
    { "busy working", RosterManager::STATUS_DND_WORKING },
    { "idle working", RosterManager::STATUS_IDLE_WORKING },
    { "online", RosterManager::STATUS_ONLINE },
    { "idle", RosterManager::STATUS_IDLE },
    { "busy", RosterManager::STATUS_DND },
    { "cached", RosterManager::STATUS_ONLINE_CACHED },
};

QString NameOf(Status status)
{
    return statusNames.key(status, QString::number(status));
}

// The own status as the window drives the rule: each event is one call, with the desktop's
// idle time and network and the tracking state the window would pass.
struct Walk
{
    StatusRestore rule;
    Status shown = RosterManager::STATUS_ONLINE;
    bool tracking = false;
    bool network = true;
    bool idleBegun = false;

    std::optional<Status> Idle(int idleMs)
    {
        const StatusRestore::IdleStep step
            = rule.OnIdleTime(idleMs, shown, tracking, [this] { return network; });
        idleBegun = step.idleBegun;
        return step.show;
    }

    std::optional<Status> Check()
    {
        return rule.OnCheckNotTracking(shown, [this] { return network; });
    }

    std::optional<Status> Apply(const QString& event)
    {
        idleBegun = false;
        if (event == "sign in") {
            tracking = false;
            return StatusRestore::AtSignIn();
        }
        if (event == "sign out") { // the window shows busy once it forgot the member
            rule.Forget();
            tracking = false;
            return RosterManager::STATUS_DND;
        }
        if (event == "busy")
            return StatusRestore::Busy(tracking);
        if (event == "start") {
            tracking = true;
            return rule.AtStart(shown, false);
        }
        // A screen lock or screen saver, with the setting to stop on it, stops tracking.
        if (event == "stop" || event == "lock") {
            tracking = false;
            return rule.AtStop(shown);
        }
        if (event == "away")
            return Idle(StatusRestore::idleLimitMs);
        if (event == "away 14:59")
            return Idle(StatusRestore::idleLimitMs - 1);
        if (event == "input")
            return Idle(0);
        if (event == "input 1 s ago")
            return Idle(StatusRestore::inputJustNowMs + 1);
        if (event == "cached")
            return rule.OnCaptureCached(shown);
        if (event == "check")
            return tracking ? std::nullopt : Check();
        if (event == "network lost") {
            network = false;
            return tracking ? rule.OnNetworkLost(shown) : std::nullopt;
        }
        if (event == "network back") {
            network = true;
            return tracking ? rule.OnNetworkBack(shown, tracking) : Check();
        }
        qFatal("unknown event %s", qPrintable(event));
    }
};

} // namespace

class TestStatusRestore : public QObject
{
    Q_OBJECT
private slots:
    // Each step: "event > status set" ("=" when none is), then optionally ", keeping <status>"
    // for the kept one and ", idle begun" when the activity log is to tell it.
    void sequences_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("idle while tracking, and back")
            << QStringList { "sign in > online", "start > online working",
                   "away 14:59 > =", "away > idle working, keeping online working, idle begun",
                   "away > =", "input 1 s ago > =", "input > online working", "input > =" };
        QTest::newRow("busy kept across idle while not tracking")
            << QStringList { "sign in > online", "busy > busy",
                   "away > idle, keeping busy, idle begun", "input > busy" };
        QTest::newRow("busy kept across idle while tracking") << QStringList { "sign in > online",
            "busy > busy", "start > busy working",
            "away > idle working, keeping busy working, idle begun", "input > busy working" };
        QTest::newRow("lock while idle: the stop decides by the status behind, idle covers it")
            << QStringList { "sign in > online", "start > online working",
                   "away > idle working, idle begun", "lock > online",
                   "away > idle, keeping online", "input > online" };
        QTest::newRow("start while idle, then back at the desk")
            << QStringList { "sign in > online", "busy > busy", "away > idle, idle begun",
                   "start > busy working", "away > idle working, keeping busy working",
                   "input > busy working" };
        QTest::newRow("network lost and back while tracking") << QStringList { "sign in > online",
            "start > online working", "network lost > cached, keeping online working",
            "network lost > =", "network back > online working", "network back > =" };
        QTest::newRow("idle over network loss, back without network")
            << QStringList { "sign in > online", "start > online working", "network lost > cached",
                   "away > idle working, keeping online working, idle begun", "input > cached",
                   "network back > online working" };
        QTest::newRow("network lost while idle: idle stays until input")
            << QStringList { "sign in > online", "busy > busy", "start > busy working",
                   "away > idle working, idle begun", "network lost > =", "network back > =",
                   "network lost > =", "input > cached, keeping busy working",
                   "network back > busy working" };
        QTest::newRow("a cached status is never the one kept") << QStringList { "sign in > online",
            "busy > busy", "start > busy working", "cached > cached, keeping busy working",
            "cached > cached, keeping busy working", "network back > busy working" };
        QTest::newRow("the last save's cached status goes at a check with network")
            << QStringList { "sign in > online", "start > online working", "network lost > cached",
                   "stop > online", "cached > cached, keeping online",
                   "check > =", "network back > online", "check > =" };
        QTest::newRow("while idle the return from idle gives it back")
            << QStringList { "sign in > online", "start > online working",
                   "away > idle working, idle begun", "stop > online",
                   "cached > cached, keeping online", "check > =", "input > online", "check > =" };
        QTest::newRow("sign-out forgets the member's kept status and idleness")
            << QStringList { "sign in > online", "busy > busy",
                   "away > idle, keeping busy, idle begun", "sign out > busy, keeping online",
                   "sign in > online", "input > =", "away > idle, keeping online, idle begun",
                   "input > online" };
    }

    void sequences()
    {
        QFETCH(QStringList, steps);
        Walk walk;
        for (const QString& step : steps) {
            const QStringList parts = step.split(" > ");
            QVERIFY2(parts.size() == 2, qPrintable(step));
            QStringList expected = parts.at(1).split(", ");
            const std::optional<Status> set = walk.Apply(parts.at(0));
            if (set)
                walk.shown = *set;
            const QString said = set ? NameOf(*set) : "=";
            QVERIFY2(said == expected.takeFirst(), qPrintable(step + ": set " + said));
            for (const QString& also : expected) {
                if (also == "idle begun")
                    continue;
                QVERIFY2(also.startsWith("keeping "), qPrintable(step));
                const QString kept = NameOf(walk.rule.Kept());
                QVERIFY2(also.mid(8) == kept, qPrintable(step + ": keeps " + kept));
            }
            QVERIFY2(walk.idleBegun == expected.contains("idle begun"), qPrintable(step));
        }
    }
};

QTEST_GUILESS_MAIN(TestStatusRestore)
#include "tst_statusrestore.moc"
