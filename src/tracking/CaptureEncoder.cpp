#include "CaptureEncoder.h"

#include "Constants.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// The grab as the capture's record keeps it: twice the popup's box, which the popup and the
// last-snapshot dialog scale down a little when they paint it. A coarse step first reads only
// the rows and columns it keeps; the smooth step then averages a few pixels for each, which
// looks the same at that size and costs a fraction of a smooth scaling of the whole desktop.
QImage Thumbnail(const QImage& picture, const QSize& box)
{
    if (picture.isNull() || box.isEmpty())
        return QImage();
    const QSize size = box * 2;
    const QSize coarse = size * 2;
    const QImage reduced = picture.width() > coarse.width() && picture.height() > coarse.height()
        ? picture.scaled(coarse, Qt::IgnoreAspectRatio, Qt::FastTransformation)
        : picture;
    return reduced.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// How much the encoding thread gives way: nice 10 weighs about a tenth of a normal thread.
const int encodingNice = 10;

// The PNG of a 4K desktop keeps a processor busy for a quarter of a second, just while the
// popup shows and rises. On a busy machine that time came out of the GUI thread's share and the
// window missed frames; the PNG is wanted only when the popup closes, seconds later. On Linux
// the calling thread's own nice value is set.
void GiveWayToTheWindow()
{
    (void)setpriority(PRIO_PROCESS, id_t(gettid()), encodingNice);
}

} // namespace

CaptureEncoder::Job::Job(Grab grab, QSize thumbnailBox)
    : grab(std::move(grab)), thumbnailBox(thumbnailBox)
{ }

bool CaptureEncoder::Job::IsGrabbed() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return grabbed;
}

QImage CaptureEncoder::Job::Thumbnail() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return thumbnail;
}

bool CaptureEncoder::Job::IsFinished() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return finished;
}

void CaptureEncoder::Job::Wait() const
{
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return finished; });
}

QByteArray CaptureEncoder::Job::Png() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return finished ? png : QByteArray();
}

bool CaptureEncoder::Job::PngHoldsBoundary() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return finished && pngHoldsBoundary;
}

QImage CaptureEncoder::Job::Picture() const
{
    QByteArray made;
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return grabbed; });
        // Shared, not copied: nobody writes into the grab's pixels.
        if (!finished)
            return picture;
        made = png;
    }
    return QImage::fromData(made, "PNG");
}

void CaptureEncoder::Job::Cancel()
{
    cancelled = true;
}

void CaptureEncoder::Job::TakeGrab()
{
    QImage taken;
    QImage small;
    if (!cancelled) {
        taken = grab();
        small = ::Thumbnail(taken, thumbnailBox);
    }
    grab = nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    picture = taken;
    thumbnail = small;
    grabbed = true;
    changed.notify_all();
}

void CaptureEncoder::Job::Encode()
{
    QImage source;
    {
        std::lock_guard<std::mutex> lock(mutex);
        source = picture;
    }
    // An encoding already running is let finish (a PNG writer stopped halfway leaks its rows)
    // and its PNG dropped.
    QByteArray out;
    if (!cancelled && !source.isNull()) {
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "PNG");
        if (!writer.write(source) || cancelled)
            out.clear();
    }
    source = QImage();
    const bool holdsBoundary = out.contains(MyMimeTypes::boundary.toLatin1());
    std::lock_guard<std::mutex> lock(mutex);
    png = out;
    pngHoldsBoundary = holdsBoundary;
    picture = QImage();
    finished = true;
    changed.notify_all();
}

CaptureEncoder::CaptureEncoder(QObject* parent) : QObject(parent)
{
    encodings.Post(&GiveWayToTheWindow);
}

CaptureEncoder::~CaptureEncoder()
{
    {
        std::lock_guard<std::mutex> lock(jobsMutex);
        for (const std::weak_ptr<Job>& weak : qAsConst(jobs))
            if (const JobPtr job = weak.lock())
                job->Cancel();
    }
    encodings.Release();
    grabs.WaitForIdle();
    encodings.WaitForIdle();
}

CaptureEncoder::JobPtr CaptureEncoder::Start(Grab grab, QSize thumbnailBox)
{
    auto job = std::make_shared<Job>(std::move(grab), thumbnailBox);
    {
        std::lock_guard<std::mutex> lock(jobsMutex);
        jobs.append(job);
    }
    grabs.Post([this, job] {
        job->TakeGrab();
        QMetaObject::invokeMethod(this, &CaptureEncoder::Grabbed, Qt::QueuedConnection);
        encodings.Post([this, job] {
            job->Encode();
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
    });
    return job;
}

CaptureEncoder::JobPtr CaptureEncoder::Start(const QImage& picture)
{
    return Start([picture] { return picture; });
}

void CaptureEncoder::Hold()
{
    encodings.Hold();
}

void CaptureEncoder::Release()
{
    encodings.Release();
}
