#include "CaptureEncoder.h"

#include "DesktopGrab.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>

CaptureEncoder::Job::Job(const QImage& picture) : picture(picture) { }

bool CaptureEncoder::Job::IsFinished() const
{
    std::unique_lock<std::mutex> lock(mutex);
    return finished;
}

void CaptureEncoder::Job::Wait() const
{
    std::unique_lock<std::mutex> lock(mutex);
    ended.wait(lock, [this] { return finished; });
}

QByteArray CaptureEncoder::Job::Png() const
{
    std::unique_lock<std::mutex> lock(mutex);
    return finished ? png : QByteArray();
}

QImage CaptureEncoder::Job::Picture() const
{
    QImage grabbed;
    QByteArray made;
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (finished)
            made = png;
        else
            grabbed = picture;
    }
    // An opaque copy: the worker may still be reading the grab.
    if (!grabbed.isNull())
        return DesktopGrab::MakeOpaque(grabbed);
    return QImage::fromData(made, "PNG");
}

void CaptureEncoder::Job::Cancel()
{
    cancelled = true;
}

void CaptureEncoder::Job::Run()
{
    // The worker alone touches the picture's pixels until it is dropped below. An encoding
    // already running is let finish (a PNG writer stopped halfway leaks its rows) and its PNG
    // dropped.
    QByteArray out;
    if (!cancelled) {
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "PNG");
        if (!writer.write(picture) || cancelled)
            out.clear();
    }
    std::unique_lock<std::mutex> lock(mutex);
    png = out;
    picture = QImage();
    finished = true;
    ended.notify_all();
}

CaptureEncoder::CaptureEncoder(QObject* parent) : QObject(parent) { }

CaptureEncoder::~CaptureEncoder()
{
    {
        std::lock_guard<std::mutex> lock(jobsMutex);
        for (const std::weak_ptr<Job>& weak : qAsConst(jobs))
            if (const JobPtr job = weak.lock())
                job->Cancel();
    }
    worker.Release();
    worker.WaitForIdle();
}

CaptureEncoder::JobPtr CaptureEncoder::Start(const QImage& picture)
{
    auto job = std::make_shared<Job>(picture);
    {
        std::lock_guard<std::mutex> lock(jobsMutex);
        jobs.append(job);
    }
    worker.Post([this, job] {
        job->Run();
        {
            std::lock_guard<std::mutex> lock(jobsMutex);
            jobs.erase(std::remove_if(jobs.begin(), jobs.end(),
                           [&job](const std::weak_ptr<Job>& weak) {
                               const JobPtr held = weak.lock();
                               return !held || held == job;
                           }),
                jobs.end());
        }
        QMetaObject::invokeMethod(this, &CaptureEncoder::Finished, Qt::QueuedConnection);
    });
    return job;
}

void CaptureEncoder::Hold()
{
    worker.Hold();
}

void CaptureEncoder::Release()
{
    worker.Release();
}
