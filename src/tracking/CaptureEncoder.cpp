#include "CaptureEncoder.h"

#include "DesktopGrab.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>

CaptureEncoder::Job::Job(const QImage& picture) : picture(picture) { }

bool CaptureEncoder::Job::IsFinished() const
{
    QMutexLocker lock(&mutex);
    return finished;
}

void CaptureEncoder::Job::Wait() const
{
    QMutexLocker lock(&mutex);
    while (!finished)
        ended.wait(&mutex);
}

QByteArray CaptureEncoder::Job::Png() const
{
    QMutexLocker lock(&mutex);
    return finished ? png : QByteArray();
}

QImage CaptureEncoder::Job::Picture() const
{
    QImage grabbed;
    QByteArray made;
    {
        QMutexLocker lock(&mutex);
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
    QMutexLocker lock(&mutex);
    png = out;
    picture = QImage();
    finished = true;
    ended.wakeAll();
}

CaptureEncoder::CaptureEncoder(QObject* parent) : QObject(parent)
{
    // One worker: jobs end in the order they were started, and captures are minutes apart.
    pool.setMaxThreadCount(1);
}

CaptureEncoder::~CaptureEncoder()
{
    {
        QMutexLocker lock(&jobsMutex);
        for (const std::weak_ptr<Job>& weak : qAsConst(jobs))
            if (const JobPtr job = weak.lock())
                job->Cancel();
    }
    Release();
    pool.waitForDone();
}

CaptureEncoder::JobPtr CaptureEncoder::Start(const QImage& picture)
{
    auto job = std::make_shared<Job>(picture);
    {
        QMutexLocker lock(&jobsMutex);
        jobs.append(job);
    }
    pool.start(QRunnable::create([this, job] {
        WaitWhileHeld();
        job->Run();
        {
            QMutexLocker lock(&jobsMutex);
            jobs.erase(std::remove_if(jobs.begin(), jobs.end(),
                           [&job](const std::weak_ptr<Job>& weak) {
                               const JobPtr held = weak.lock();
                               return !held || held == job;
                           }),
                jobs.end());
        }
        QMetaObject::invokeMethod(this, &CaptureEncoder::Finished, Qt::QueuedConnection);
    }));
    return job;
}

void CaptureEncoder::Hold()
{
    QMutexLocker lock(&holdMutex);
    held = true;
}

void CaptureEncoder::Release()
{
    QMutexLocker lock(&holdMutex);
    held = false;
    released.wakeAll();
}

void CaptureEncoder::WaitWhileHeld()
{
    QMutexLocker lock(&holdMutex);
    while (held)
        released.wait(&holdMutex);
}
