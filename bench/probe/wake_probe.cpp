// Preloaded into the client beside the stall probe: notes every time the system woke the GUI
// thread late from a wait with a time limit (poll or ppoll, the event loop's wait for its next
// timer), into $WAKE_PROBE_OUT, one line "msecs_since_epoch late_ms" per wake at least
// $WAKE_PROBE_MIN ms (default 2) after the limit the thread asked for, whatever ended the wait
// (past its limit the thread was asleep either way). Touches nothing else.
//
// The stall probe's 5 ms timer is always due within 5 ms, so the GUI thread never asks to sleep
// longer. When the stall probe sees a gap and this probe saw a late wake end in it, that part of
// the gap was the thread asleep with nothing to do, waiting for the system to run it again (on a
// virtual machine, for the host to run its processor): time the client could not have used.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {

using PollFunction = int (*)(struct pollfd*, nfds_t, int);
using PpollFunction = int (*)(struct pollfd*, nfds_t, const struct timespec*, const sigset_t*);

int outFd = -2; // -2: not opened yet; -1: no output
double minLateMs = 2;

bool OnGuiThread()
{
    return syscall(SYS_gettid) == getpid();
}

double NowMs(clockid_t clock)
{
    timespec now;
    clock_gettime(clock, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Keeps errno: the caller reads it when the wait failed.
void Note(double startedMs, double limitMs)
{
    const int savedErrno = errno;
    const double lateMs = NowMs(CLOCK_MONOTONIC) - startedMs - limitMs;
    if (outFd == -2) {
        const char* out = getenv("WAKE_PROBE_OUT");
        outFd = out && *out ? open(out, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600) : -1;
        if (const char* min = getenv("WAKE_PROBE_MIN"))
            minLateMs = atof(min);
    }
    if (outFd >= 0 && lateMs >= minLateMs) {
        char line[64];
        const int length
            = snprintf(line, sizeof line, "%.0f %.1f\n", NowMs(CLOCK_REALTIME), lateMs);
        if (length > 0 && write(outFd, line, size_t(length)) < 0)
            outFd = -1;
    }
    errno = savedErrno;
}

} // namespace

extern "C" int poll(struct pollfd* fds, nfds_t count, int timeout)
{
    static const auto real = reinterpret_cast<PollFunction>(dlsym(RTLD_NEXT, "poll"));
    if (timeout < 0 || !OnGuiThread())
        return real(fds, count, timeout);
    const double started = NowMs(CLOCK_MONOTONIC);
    const int result = real(fds, count, timeout);
    Note(started, timeout);
    return result;
}

extern "C" int ppoll(
    struct pollfd* fds, nfds_t count, const struct timespec* limit, const sigset_t* mask)
{
    static const auto real = reinterpret_cast<PpollFunction>(dlsym(RTLD_NEXT, "ppoll"));
    if (!limit || !OnGuiThread())
        return real(fds, count, limit, mask);
    const double started = NowMs(CLOCK_MONOTONIC);
    const int result = real(fds, count, limit, mask);
    Note(started, limit->tv_sec * 1e3 + limit->tv_nsec / 1e6);
    return result;
}
