#include "TimerPhase.h"

#include <QElapsedTimer>
#include <QTimer>

namespace TimerPhase {

int MsUntil(qint64 nowMs, int periodMs, int offsetMs)
{
    if (periodMs <= 0)
        return 0;
    const qint64 into = ((nowMs - offsetMs) % periodMs + periodMs) % periodMs;
    return into == 0 ? 0 : int(periodMs - into);
}

void StartOffGrid(QTimer& timer, int offsetMs)
{
    timer.setTimerType(Qt::PreciseTimer);
    timer.start();
    // Qt's marks lie on the monotonic clock QElapsedTimer reads. The restart at the chosen
    // moment sets the phase; a precise timer keeps it from then on.
    QElapsedTimer clock;
    clock.start();
    const int delay = MsUntil(clock.msecsSinceReference(), timer.interval(), offsetMs);
    QTimer::singleShot(delay, Qt::PreciseTimer, &timer, [&timer] {
        if (timer.isActive())
            timer.start();
    });
}

} // namespace TimerPhase
