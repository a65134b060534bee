#include "CaptureEncoder.h"

#include "DesktopGrab.h"

#include <QImageWriter>

#include <algorithm>

namespace {

// Collects the PNG and refuses further bytes once the capture was cancelled, which makes the
// PNG writer give up at once instead of compressing the rest of the picture for nothing.
class CancellableBuffer : public QIODevice
{
public:
    CancellableBuffer(QByteArray& out, const std::atomic<bool>& cancelled)
        : out(out), cancelled(cancelled)
    { }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (cancelled)
            return -1;
        out.append(data, int(size));
        return size;
    }

private:
    QByteArray& out;
    const std::atomic<bool>& cancelled;
};

} // namespace

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
    // The worker alone touches the picture's pixels until it is dropped below.
    QByteArray out;
    if (!cancelled) {
        CancellableBuffer buffer(out, cancelled);
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
