#pragma once

// The capture timer's interval after a capture, and how the time scale shortens the intervals
// of tracking (MOVARELQUINTASH_TIME_SCALE, a factor above 0 and up to 1: tests and the demo
// take captures in seconds rather than minutes).
namespace CaptureInterval {

// 540 s, or 660 s when the random draw (0 to RAND_MAX) is 0; not scaled.
int NextMs(int draw);

// `msec` times `timeScale`, rounded, and at least 1 ms: a timer of 0 would fire at every turn
// of the event loop.
int Scaled(int msec, double timeScale);

} // namespace CaptureInterval
