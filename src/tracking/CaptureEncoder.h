#pragma once

#include "SerialWorker.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// Grabs each capture's desktop and makes its PNG away from the GUI thread, so the window keeps
// answering while the X server copies a whole desktop and while it is compressed. Grabs run on
// one thread, encodings on another, each one capture at a time in the order they were started;
// a grab does not wait for the encoding before it.
class CaptureEncoder : public QObject
{
    Q_OBJECT
public:
    // Makes the picture of a capture; run on the grab thread.
    using Grab = std::function<QImage()>;

    // One capture's grab and encoding, shared by its owner and the workers. The full picture is
    // held only until the PNG is made.
    class Job
    {
    public:
        Job(Grab grab, QSize thumbnailBox);

        // The grab is made (a null picture when it failed or the job was cancelled first).
        bool IsGrabbed() const;
        // The grab scaled to twice the box the job was started with; null before the grab or
        // without a box.
        QImage Thumbnail() const;
        bool IsFinished() const;
        // Blocks until the encoding has ended.
        void Wait() const;
        // The PNG once finished; empty when the grab or the encoding failed or was cancelled.
        QByteArray Png() const;
        // Whether the PNG holds the uploads' multipart boundary, looked for on the encoding
        // thread while the bytes are at hand; false before the PNG is made.
        bool PngHoldsBoundary() const;
        // The full picture, opaque: the grab while the encoding runs, read back from the PNG
        // after. Blocks until the grab is made.
        QImage Picture() const;
        // The capture is not wanted: what has not started never starts, a PNG made is dropped.
        void Cancel();

    private:
        friend class CaptureEncoder;
        void TakeGrab();
        void Encode();

        std::atomic<bool> cancelled { false };
        mutable std::mutex mutex;
        mutable std::condition_variable changed;
        Grab grab; // run and let go by the grab thread
        const QSize thumbnailBox;
        bool grabbed = false;
        bool finished = false;
        QImage picture;
        QImage thumbnail;
        QByteArray png;
        bool pngHoldsBoundary = false;
    };
    using JobPtr = std::shared_ptr<Job>;

    explicit CaptureEncoder(QObject* parent = nullptr);
    // Cancels what is still queued, lets a running grab and encoding end and waits for both
    // workers.
    ~CaptureEncoder() override;

    // A capture grabbed by `grab` on the grab thread, with a thumbnail for `thumbnailBox`.
    JobPtr Start(Grab grab, QSize thumbnailBox = QSize());
    // A capture of a picture at hand.
    JobPtr Start(const QImage& picture);

    // Keeps the encoding worker from starting further jobs until Release (grabs go on), so
    // tests can act on captures that are still encoding.
    void Hold();
    void Release();

signals:
    // A job's grab is made; delivered on the encoder's thread, before that job's Finished.
    void Grabbed();
    // A job has ended, with or without a PNG; delivered on the encoder's thread.
    void Finished();

private:
    std::mutex jobsMutex;
    QList<std::weak_ptr<Job>> jobs; // started and not yet ended
    SerialWorker encodings;
    SerialWorker grabs; // last, so it ends first: its jobs hand on to the encodings
};
