#include "SingleApplication.h"

#include "LogCategories.h"
#include "RegularFile.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace {

// Lock and socket names: readable, safe as file names, and distinct per id.
QString runtimeBasePath(const QString& appId)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    QString name;
    for (const QChar c : appId)
        name += c.isLetterOrNumber() && c.unicode() < 128 ? c.toLower() : QLatin1Char('-');
    const QByteArray hash
        = QCryptographicHash::hash(appId.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    return folder + QLatin1Char('/') + name.left(40) + QLatin1Char('-') + QString::fromLatin1(hash);
}

// How long a second instance waits for the holder of the lock to answer.
constexpr int answerTimeoutMs = 1000;

} // namespace

SingleApplication::SingleApplication(int& argc, char** argv, const QString& id)
    : QApplication(argc, argv), appId(id), basePath(runtimeBasePath(id)), lock(LockFilePath(id))
{
    // Only a dead holder makes the lock stale, never its age.
    lock.setStaleLockTime(0);
    server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server, &QLocalServer::newConnection, this, [this] {
        // A second instance only checks that someone answers; nothing is exchanged.
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromServer();
        }
    });
}

SingleApplication::~SingleApplication()
{
    if (locking.valid())
        locking.wait();
    server.close();
}

QString SingleApplication::LockFilePath(const QString& appId)
{
    return runtimeBasePath(appId) + QStringLiteral(".lock");
}

QString SingleApplication::id() const
{
    return appId;
}

void SingleApplication::StartTakingLock()
{
    if (checked || locking.valid())
        return;
    locking = std::async(std::launch::async, [this] { return TakeLock(); });
}

bool SingleApplication::isRunning()
{
    if (checked)
        return running;
    checked = true;
    const Locking first = locking.valid() ? locking.get() : TakeLock();
    // The lock is held. A live instance answers on its socket; a lock whose holder does not
    // answer was left by a process that is gone or is not ours, so it is taken over.
    running = first == Locking::HeldByAnother && OtherInstanceAnswers();
    if (first == Locking::HeldByAnother && !running) {
        lock.removeStaleLockFile();
        running = TakeLock() == Locking::HeldByAnother;
    }
    if (!running)
        Listen();
    return running;
}

SingleApplication::Locking SingleApplication::TakeLock()
{
    // The lock reads what is at its path to tell a stale lock: a pipe would block it for good,
    // a folder would look held for ever. What cannot be moved away is not locked at all: two
    // instances are better than none that starts.
    if (!RegularFile::SetAsideUnlessRegular(LockFilePath(appId))) {
        qCWarning(instanceLog) << "Starting without the single-instance lock";
        return Locking::Unusable;
    }
    return lock.tryLock(0) ? Locking::Taken : Locking::HeldByAnother;
}

void SingleApplication::Listen()
{
    const QString socketPath = basePath + QStringLiteral(".socket");
    // A socket file left by a crashed instance would make listen() fail.
    QLocalServer::removeServer(socketPath);
    if (!server.listen(socketPath))
        qCWarning(instanceLog) << "Single-instance server cannot listen:" << server.errorString();
}

bool SingleApplication::OtherInstanceAnswers() const
{
    const QString socketPath = basePath + QStringLiteral(".socket");
    QElapsedTimer waited;
    waited.start();
    // The holder may have taken the lock a moment ago and not be listening yet.
    do {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(200)) {
            socket.disconnectFromServer();
            return true;
        }
        QThread::msleep(50);
    } while (waited.elapsed() < answerTimeoutMs);
    return false;
}
