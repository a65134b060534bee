#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

// Ends the test program with a message when the scope is still running after `seconds`: an
// open that blocks on a pipe, or a text that makes a widget read /dev/zero, would otherwise hang
// the test until its timeout.
class Deadline
{
public:
    Deadline(const char* what, int seconds)
        : watcher([this, what, seconds] {
              std::unique_lock<std::mutex> locked(lock);
              if (!ended.wait_for(locked, std::chrono::seconds(seconds), [this] { return done; })) {
                  std::fprintf(stderr, "FAIL: %s still blocked after %d s\n", what, seconds);
                  std::fflush(stderr);
                  std::_Exit(1);
              }
          })
    { }

    ~Deadline()
    {
        {
            const std::lock_guard<std::mutex> locked(lock);
            done = true;
        }
        ended.notify_all();
        watcher.join();
    }

private:
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    std::thread watcher; // last: started once the rest is there
};
