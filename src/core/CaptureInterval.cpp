#include "CaptureInterval.h"

#include <QtGlobal>

namespace CaptureInterval {

namespace {

const int captureIntervalMs = 540 * 1000;
const int longCaptureIntervalMs = 660 * 1000;

} // namespace

int NextMs(int draw)
{
    return draw == 0 ? longCaptureIntervalMs : captureIntervalMs;
}

int Scaled(int msec, double timeScale)
{
    return qMax(1, qRound(msec * timeScale));
}

} // namespace CaptureInterval
