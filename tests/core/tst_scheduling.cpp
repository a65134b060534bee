#include "CaptureInterval.h"
#include "SerialWorker.h"
#include "ThreadPriority.h"
#include "TimerPhase.h"

#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

class tst_Scheduling : public QObject
{
    Q_OBJECT

private slots:
    void waitsForTheNextMomentOffTheGrid_data()
    {
        QTest::addColumn<qint64>("now");
        QTest::addColumn<int>("period");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("wait");
        QTest::newRow("on a mark") << qint64(1000) << 250 << 125 << 125;
        QTest::newRow("at the moment") << qint64(1125) << 250 << 125 << 0;
        QTest::newRow("just past it") << qint64(1126) << 250 << 125 << 249;
        QTest::newRow("just before it") << qint64(1124) << 250 << 125 << 1;
        QTest::newRow("large clock") << qint64(987654321987) << 250 << 125 << 138;
        QTest::newRow("offset past the period") << qint64(1000) << 250 << 375 << 125;
        QTest::newRow("no period") << qint64(1000) << 0 << 125 << 0;
    }
    void waitsForTheNextMomentOffTheGrid()
    {
        QFETCH(qint64, now);
        QFETCH(int, period);
        QFETCH(int, offset);
        QFETCH(int, wait);
        QCOMPARE(TimerPhase::MsUntil(now, period, offset), wait);
    }

    // The interval after a capture, under the time scale.
    void capturesFollowEachOtherAtTheirInterval_data()
    {
        QTest::addColumn<int>("draw");
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("interval");
        QTest::newRow("a draw of 0") << 0 << 1.0 << 660000;
        QTest::newRow("a draw of 1") << 1 << 1.0 << 540000;
        QTest::newRow("the largest draw") << RAND_MAX << 1.0 << 540000;
        QTest::newRow("scaled") << 1 << 0.001 << 540;
        QTest::newRow("scaled, a draw of 0") << 0 << 0.001 << 660;
        QTest::newRow("rounded down") << 1 << 0.00001 << 5; // 5.4 ms
        QTest::newRow("rounded up") << 0 << 0.00001 << 7; // 6.6 ms
        QTest::newRow("never below 1 ms") << 1 << 0.000000001 << 1;
    }
    void capturesFollowEachOtherAtTheirInterval()
    {
        QFETCH(int, draw);
        QFETCH(double, scale);
        QFETCH(int, interval);
        QCOMPARE(CaptureInterval::Scaled(CaptureInterval::NextMs(draw), scale), interval);
    }

    // The timer runs at once with its interval as set, ticks, and a timer stopped before its
    // phase is set stays stopped.
    void startsAtOnceAndStaysStoppedWhenStopped()
    {
        QTimer timer;
        timer.setInterval(40);
        QSignalSpy ticks(&timer, &QTimer::timeout);
        TimerPhase::StartOffGrid(timer, 20);
        QVERIFY(timer.isActive());
        QCOMPARE(timer.interval(), 40);
        QCOMPARE(timer.timerType(), Qt::PreciseTimer);
        QTRY_VERIFY(ticks.count() >= 3);

        QTimer stopped;
        stopped.setInterval(40);
        QSignalSpy none(&stopped, &QTimer::timeout);
        TimerPhase::StartOffGrid(stopped, 20);
        stopped.stop();
        QTest::qWait(120);
        QVERIFY(!stopped.isActive());
        QCOMPARE(none.count(), 0);
    }

    // A background worker runs below the thread that made it, and leaves that thread as it was.
    void workersRunBelowTheGuiThread()
    {
        const int gui = ThreadPriority::ThisThreadNiceness();
        int worker = gui;
        {
            SerialWorker serial;
            serial.Post([&worker] { worker = ThreadPriority::ThisThreadNiceness(); });
            serial.WaitForIdle();
        }
        QCOMPARE(ThreadPriority::ThisThreadNiceness(), gui);
        QCOMPARE(worker, qMin(19, gui + ThreadPriority::backgroundNiceness));
    }
};

QTEST_GUILESS_MAIN(tst_Scheduling)
#include "tst_scheduling.moc"
