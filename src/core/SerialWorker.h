#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// One thread of its own that runs the jobs posted to it one after the other, in the order they
// were posted: for work that must leave the GUI thread but keep its order (encoding captures,
// writing the offline cache). Its locks are the standard library's, which the thread sanitizer
// sees.
class SerialWorker
{
public:
    SerialWorker();
    // Runs what is still posted, then ends the thread.
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    void Post(std::function<void()> job);
    // Blocks until every job posted so far has run.
    void WaitForIdle();
    // Keeps the thread from starting further jobs until Release, so tests can act while work
    // is still to be done.
    void Hold();
    void Release();

private:
    void Run();

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> jobs;
    bool running = false; // a job is being run
    bool held = false;
    bool ending = false;
    std::thread thread;
};
