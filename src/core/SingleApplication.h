#pragma once

#include <QApplication>
#include <QLocalServer>
#include <QLockFile>
#include <QString>

#include <future>

// The application object of a client that runs once per user. The first instance to ask
// isRunning() takes a lock file and a local server named after the application id in the
// user's runtime folder and holds them until it exits; later instances see them and are
// told another instance runs. A lock left by a crashed instance is taken over.
class SingleApplication : public QApplication
{
    Q_OBJECT
public:
    SingleApplication(int& argc, char** argv, const QString& appId);
    ~SingleApplication() override;

    QString id() const;

    // Where the instance of `appId` keeps its lock file.
    static QString LockFilePath(const QString& appId);

    // True while another live process holds the same id. The answer is taken once and kept.
    bool isRunning();

    // Starts taking the lock on a worker thread, for a caller with other work to do before it
    // asks isRunning: the lock file is written through to the disk, which a busy disk makes
    // last milliseconds. isRunning waits for it; without this call it takes the lock itself.
    void StartTakingLock();

private:
    enum class Locking
    {
        Taken,
        HeldByAnother,
        Unusable, // nothing lockable at its path: the instance runs without the lock
    };
    Locking TakeLock();
    void Listen();
    bool OtherInstanceAnswers() const;

    const QString appId;
    const QString basePath;
    QLockFile lock;
    QLocalServer server;
    std::future<Locking> locking; // StartTakingLock's worker
    bool checked = false;
    bool running = false;
};
