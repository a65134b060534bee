#include "NetworkChecker.h"

#include <QSignalSpy>
#include <QtTest>

// Look-ups use "localhost", answered from the hosts file, and a malformed name that the
// resolver refuses before asking any name server: nothing leaves the machine.
class TestNetworkChecker : public QObject
{
    Q_OBJECT
private slots:
    void serverStateFollowsTheLastLookup()
    {
        NetworkChecker checker;
        QSignalSpy finished(&checker, &NetworkChecker::HostTestFinished);
        QVERIFY(checker.IsServerEnabled());

        checker.RunTestForHost("bad..name.invalid");
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.takeFirst().at(0).toBool(), false);
        QVERIFY(!checker.IsServerEnabled());

        checker.RunTestForHost(QString());
        QVERIFY(finished.wait(5000));
        QVERIFY(!checker.IsServerEnabled());

        checker.RunTestForHost("localhost");
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.takeLast().at(0).toBool(), true);
        QVERIFY(checker.IsServerEnabled());
    }

    void stateIsKeptUntilTheLookupFinishes()
    {
        NetworkChecker checker;
        QSignalSpy finished(&checker, &NetworkChecker::HostTestFinished);
        checker.RunTestForHost("bad..name.invalid");
        QVERIFY(finished.wait(5000));
        checker.RunTestForHost("localhost");
        // Asked at once, the answer is still the last finished look-up's.
        QVERIFY(!checker.IsServerEnabled());
        QVERIFY(finished.wait(5000));
        QVERIFY(checker.IsServerEnabled());
    }

    void destroyedWhileLookingUp()
    {
        auto* checker = new NetworkChecker;
        checker->RunTestForHost("localhost");
        delete checker;
        // The pending answer must find no dangling receiver.
        QTest::qWait(200);
    }

    void networkStateCanBeAskedRepeatedly()
    {
        NetworkChecker checker;
        const bool first = checker.IsNetworkEnabled();
        QCOMPARE(checker.IsNetworkEnabled(), first);
    }

    void aServiceOnThisMachineNeedsNoNetwork()
    {
        NetworkChecker checker;
        for (const char* base : { "https://127.0.0.1:8443", "https://localhost", "https://[::1]:9000" }) {
            qputenv("MOVARELQUINTASH_API_URL", base);
            QVERIFY2(checker.IsNetworkEnabled(), base);
        }
        qunsetenv("MOVARELQUINTASH_API_URL");
    }
};

QTEST_GUILESS_MAIN(TestNetworkChecker)
#include "tst_networkchecker.moc"
