#include "TerminationSignals.h"

#include <QtTest>

#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

// Each termination signal reaches the GUI thread with its number, and leaves the three signals
// with their default action, so that a second one is not swallowed.
class TestTerminationSignals : public QObject
{
    Q_OBJECT
private slots:
    // The test may run with some of them ignored (SIGINT in a job started in the background),
    // which the class leaves alone: each case starts from the default actions.
    void init()
    {
        for (int at = 0; at < 3; ++at)
            m_before[at] = std::signal(m_signals[at], SIG_DFL);
    }

    void cleanup()
    {
        for (int at = 0; at < 3; ++at)
            std::signal(m_signals[at], m_before[at]);
    }

    void reportsOnceThenEndsTheProcess_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void reportsOnceThenEndsTheProcess()
    {
        QFETCH(int, signalNumber);
        TerminationSignals caught;
        QSignalSpy received(&caught, &TerminationSignals::Received);

        // A copy of this process, caught as this one is, raises the signal twice: the second
        // ends it. Its handler writes to the pipe this process reads, so its first is heard here.
        const pid_t child = fork();
        if (child == 0) {
            raise(signalNumber);
            raise(signalNumber);
            _exit(0);
        }
        QVERIFY(child > 0);
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY2(WIFSIGNALED(status), qPrintable(QString::number(status)));
        QCOMPARE(WTERMSIG(status), signalNumber);
        QVERIFY(received.wait(5000));
        QCOMPARE(received.takeFirst().value(0).toInt(), signalNumber);

        // Here, once: reported, and all three back to their default action.
        raise(signalNumber);
        QVERIFY(received.wait(5000));
        QCOMPARE(received.takeFirst().value(0).toInt(), signalNumber);
        for (int each : m_signals) {
            struct sigaction now = {};
            QCOMPARE(sigaction(each, nullptr, &now), 0);
            QVERIFY2(now.sa_handler == SIG_DFL, TerminationSignals::Name(each));
        }
        QTest::qWait(50);
        QCOMPARE(received.size(), 0);
    }

    // Started under nohup: SIGHUP stays ignored, also once SIGTERM has come.
    void leavesAnIgnoredSignalIgnored()
    {
        const auto hangUpIgnored = [] {
            struct sigaction now = {};
            sigaction(SIGHUP, nullptr, &now);
            return now.sa_handler == SIG_IGN;
        };
        std::signal(SIGHUP, SIG_IGN);
        {
            TerminationSignals caught;
            QSignalSpy received(&caught, &TerminationSignals::Received);
            raise(SIGHUP);
            QVERIFY(hangUpIgnored());
            raise(SIGTERM);
            QVERIFY(received.wait(5000));
            QCOMPARE(received.size(), 1);
            QVERIFY(hangUpIgnored());
        }
        QVERIFY(hangUpIgnored());
    }

private:
    const int m_signals[3] = { SIGTERM, SIGINT, SIGHUP };
    void (*m_before[3])(int) = {};
};

QTEST_GUILESS_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"
