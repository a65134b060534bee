#pragma once

#include <QtGlobal>

class QTimer;

// Qt lets every coarse timer drift to marks shared with the others: each period that is a
// multiple of 250 ms fires on the same quarter-second marks of the monotonic clock, so the
// once-a-minute roster refresh, a capture, the working-time tick and a quarter-second check all
// run in one turn of the event loop and add up to one stall. A timer set off that grid fires in
// a turn of its own.
namespace TimerPhase {

// Milliseconds from `nowMs` to the next moment that lies `offsetMs` past a multiple of
// `periodMs` (0 when `nowMs` is such a moment).
int MsUntil(qint64 nowMs, int periodMs, int offsetMs);

// Starts `timer` with its interval as it is, as a precise timer whose ticks fall `offsetMs`
// after the marks of Qt's grid for that interval. The timer is active at once; its first tick
// comes within one interval and a half.
void StartOffGrid(QTimer& timer, int offsetMs);

} // namespace TimerPhase
