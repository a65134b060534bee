#include "PictureGrab.h"

PictureGrab::PictureGrab(QObject* parent) : QObject(parent) { }

// The worker's last job posts to this object: it must have run before the object goes.
PictureGrab::~PictureGrab()
{
    worker.WaitForIdle();
}

void PictureGrab::Start(std::function<QImage()> grab, std::function<void(QImage)> done)
{
    running = true;
    worker.Post([this, grab = std::move(grab), done = std::move(done)] {
        QImage picture = grab();
        QMetaObject::invokeMethod(
            this,
            [this, done, picture = std::move(picture)]() mutable {
                running = false;
                done(std::move(picture));
            },
            Qt::QueuedConnection);
    });
}

bool PictureGrab::IsRunning() const
{
    return running;
}
