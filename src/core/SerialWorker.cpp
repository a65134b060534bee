#include "SerialWorker.h"

#include "ThreadPriority.h"

SerialWorker::SerialWorker() : thread(&SerialWorker::Run, this) { }

SerialWorker::~SerialWorker()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        ending = true;
        held = false;
    }
    changed.notify_all();
    thread.join();
}

void SerialWorker::Post(std::function<void()> job)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        jobs.push_back(std::move(job));
    }
    changed.notify_all();
}

void SerialWorker::WaitForIdle()
{
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return jobs.empty() && !running; });
}

void SerialWorker::Hold()
{
    std::lock_guard<std::mutex> lock(mutex);
    held = true;
}

void SerialWorker::Release()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        held = false;
    }
    changed.notify_all();
}

void SerialWorker::Run()
{
    ThreadPriority::MakeThisThreadBackground();
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return (!jobs.empty() && !held) || (ending && jobs.empty()); });
        if (jobs.empty())
            return;
        std::function<void()> job = std::move(jobs.front());
        jobs.pop_front();
        running = true;
        lock.unlock();
        job();
        job = nullptr;
        lock.lock();
        running = false;
        changed.notify_all();
    }
}
