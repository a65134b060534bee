#pragma once

#include <QDebug>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QObject>
#include <QScreen>
#include <QSize>
#include <QTimer>

#include <algorithm>
#include <functional>

// How long the GUI thread was kept from its event loop: a 5 ms timer notes the longest time
// between two of its ticks (5 ms when nothing stalls it).
class GapMeter : public QObject
{
public:
    GapMeter()
    {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(5);
        connect(&timer, &QTimer::timeout, this, [this] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
    }

    void Start()
    {
        longest = 0;
        last = 0;
        clock.start();
        timer.start();
    }

    // The longest gap since Start, in milliseconds.
    double Stop()
    {
        timer.stop();
        const qint64 now = clock.nsecsElapsed();
        return std::max(longest, now - last) / 1e6;
    }

private:
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
};

// Runs the event loop until `done` holds or `timeoutMs` have passed; whether it holds. Unlike
// QTest::qWait and qWaitFor, which sleep 10 ms at a time between their turns of the loop, this
// keeps the loop turning, so a gap meter measures the program and not the waiting.
inline bool RunUntil(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= timeoutMs)
            loop.quit();
    });
    poll.start(1);
    if (!done())
        loop.exec();
    return done();
}

// The figures are meant for a 3840x2160 desktop: any other size is said before they are.
inline void ExpectFourKDesktop(const QSize& desktop)
{
    if (desktop != QSize(3840, 2160))
        qWarning() << "The figures are meant for 3840x2160; this desktop is" << desktop;
}

// The whole desktop of this application's screens, said when it is not the size meant.
inline QSize FourKDesktop()
{
    const QSize desktop = QGuiApplication::primaryScreen()->virtualGeometry().size();
    ExpectFourKDesktop(desktop);
    return desktop;
}

// The resident memory of a process (this one by default) in megabytes.
inline double ResidentMegabytes(qint64 pid = 0)
{
    QFile status(pid ? QString("/proc/%1/status").arg(pid) : QString("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return -1;
}

inline double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}
