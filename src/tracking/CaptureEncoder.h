#pragma once

#include "SerialWorker.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

// Makes the PNG of each capture on a worker thread, so the window keeps answering while a
// whole desktop is compressed. One capture at a time, in the order they were started.
class CaptureEncoder : public QObject
{
    Q_OBJECT
public:
    // One capture's encoding, shared by its owner and the worker. The full picture is held
    // only until the PNG is made.
    class Job
    {
    public:
        explicit Job(const QImage& picture);

        bool IsFinished() const;
        // Blocks until the encoding has ended.
        void Wait() const;
        // The PNG once finished; empty when the encoding failed or was cancelled.
        QByteArray Png() const;
        // The full picture, opaque: a copy of the grab while the encoding runs, read back from
        // the PNG after.
        QImage Picture() const;
        // The capture is not wanted: the encoding never starts, or its PNG is dropped.
        void Cancel();

    private:
        friend class CaptureEncoder;
        void Run();

        std::atomic<bool> cancelled { false };
        mutable std::mutex mutex;
        mutable std::condition_variable ended;
        bool finished = false;
        QImage picture;
        QByteArray png;
    };
    using JobPtr = std::shared_ptr<Job>;

    explicit CaptureEncoder(QObject* parent = nullptr);
    // Cancels what is still queued, lets a running encoding end and waits for the worker.
    ~CaptureEncoder() override;

    JobPtr Start(const QImage& picture);

    // Keeps the worker from starting further jobs until Release, so tests can act on captures
    // that are still encoding.
    void Hold();
    void Release();

signals:
    // A job has ended, with or without a PNG; delivered on the encoder's thread.
    void Finished();

private:
    std::mutex jobsMutex;
    QList<std::weak_ptr<Job>> jobs; // started and not yet ended
    SerialWorker worker; // last: its jobs are done before the rest goes
};
