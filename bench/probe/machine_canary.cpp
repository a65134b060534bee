// Whether the whole machine stood still: one thread pinned to each processor, each sleeping
// 5 ms at a time and noting every wake that came late. It shares nothing with the client. When a
// virtual machine's host does not run the guest, every processor's thread wakes late in the same
// millisecond; when the client (or anything else) keeps one processor busy, only that one's does,
// by a few milliseconds. Run it beside a benchmark and set its notes beside the probes' gaps:
//
//   build-bench/bench/machine_canary [MIN_LATE_MS] > late.txt   (default 4; stop it with a signal)
//
// Prints "epoch_ms processor late_ms" per late wake, on the wall clock the probes use.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr long kSleepNs = 5'000'000;

double MonotonicMs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

long long WallMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void Watch(int processor, double minLateMs)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(processor, &set);
    pthread_setaffinity_np(pthread_self(), sizeof set, &set);
    const timespec pause { 0, kSleepNs };
    for (;;) {
        const double start = MonotonicMs();
        clock_nanosleep(CLOCK_MONOTONIC, 0, &pause, nullptr);
        const double late = MonotonicMs() - start - kSleepNs / 1e6;
        // stdio locks the stream per call: the threads' lines never interleave.
        if (late >= minLateMs) {
            std::printf("%lld %d %.1f\n", WallMs(), processor, late);
            std::fflush(stdout);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    const double minLateMs = argc > 1 ? std::atof(argv[1]) : 4;
    const int processors = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
    std::vector<std::thread> watchers;
    for (int processor = 0; processor < processors; ++processor)
        watchers.emplace_back(Watch, processor, minLateMs);
    for (std::thread& watcher : watchers)
        watcher.join();
}
