#pragma once

#include "SerialWorker.h"

#include <QImage>
#include <QObject>

#include <functional>

// One desktop grab at a time on a thread of its own, its picture handed back on the thread this
// object lives in: the whole-desktop snap the member asks for does not freeze the window while
// the X server copies the desktop.
class PictureGrab : public QObject
{
    Q_OBJECT
public:
    explicit PictureGrab(QObject* parent = nullptr);
    // Waits for a grab still running; its picture is not handed back.
    ~PictureGrab() override;

    // Runs `grab` on the worker, then `done` with its picture here, unless this object is gone
    // by then.
    void Start(std::function<QImage()> grab, std::function<void(QImage)> done);
    // A grab was started and its picture not handed back yet.
    bool IsRunning() const;

private:
    bool running = false;
    SerialWorker worker;
};
