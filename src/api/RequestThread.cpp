#include "RequestThread.h"

#include "Constants.h"
#include "ServiceConfig.h"
#include "ThreadPriority.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QSslConfiguration>
#include <QTimer>

#include <limits>
#include <memory>

namespace {

// The pace a request keeps on a slow line: its deadline grows by the time its bytes take at it.
constexpr qint64 slowLineBytesPerSecond = 8 * 1024;
// What a reply carries to its end: the seconds waited, the size refused, the TLS errors seen.
const char* const timedOutProperty = "mqTimedOut";
const char* const tooLargeProperty = "mqTooLarge";
const char* const tlsErrorsProperty = "mqTlsErrors";

QString Tr(const char* text)
{
    return QCoreApplication::translate("RestAPI", text);
}

// When a request must be over, whether or not it shows signs of life: its base time plus what
// the bytes it has moved so far take at a slow line's pace. An answer dripped a byte at a time
// ends there; an upload or a download that keeps the pace goes on.
class Deadline : public QTimer
{
public:
    Deadline(qint64 baseMs, QObject* parent) : QTimer(parent), baseMs(baseMs)
    {
        setSingleShot(true);
        clock.start();
        Rearm();
    }

    void SetSent(qint64 bytes)
    {
        sent = bytes;
        Rearm();
    }

    void SetReceived(qint64 bytes)
    {
        received = bytes;
        Rearm();
    }

    qint64 ElapsedMs() const { return clock.elapsed(); }

private:
    void Rearm()
    {
        const qint64 allowedMs = baseMs + (sent + received) * 1000 / slowLineBytesPerSecond;
        start(int(qBound<qint64>(0, allowedMs - clock.elapsed(), std::numeric_limits<int>::max())));
    }

    QElapsedTimer clock;
    qint64 baseMs;
    qint64 sent = 0;
    qint64 received = 0;
};

// A connection that failed without an HTTP answer: the TLS session, the network's own time
// limit, or any other way of not reaching the service.
Api::Outcome ConnectionFailure(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::SslHandshakeFailedError:
        return Api::Outcome::Tls;
    case QNetworkReply::TimeoutError:
        return Api::Outcome::Timeout;
    default:
        return Api::Outcome::Unreachable;
    }
}

std::unique_ptr<QHttpMultiPart> Multipart(const RequestThread::Request& request)
{
    auto multiPart = std::make_unique<QHttpMultiPart>(QHttpMultiPart::FormDataType);
    // The fixed boundary must not occur inside a part; a memo could hold it, and then the
    // multipart object's own random boundary is used.
    bool clash = false;
    for (const RequestThread::Part& part : request.parts)
        clash = clash
            || (part.holdsBoundary ? *part.holdsBoundary : part.body.contains(request.boundary));
    if (!clash && !request.boundary.isEmpty())
        multiPart->setBoundary(request.boundary);
    for (const RequestThread::Part& part : request.parts) {
        QHttpPart httpPart;
        if (!part.contentType.isEmpty())
            httpPart.setHeader(QNetworkRequest::ContentTypeHeader, part.contentType);
        const QString disposition = part.fileName.isEmpty()
            ? QStringLiteral("form-data; name=\"%1\"").arg(part.name)
            : QStringLiteral("form-data; name=\"%1\"; filename=\"%2\"")
                  .arg(part.name, part.fileName);
        httpPart.setHeader(QNetworkRequest::ContentDispositionHeader, disposition);
        httpPart.setBody(part.body);
        multiPart->append(httpPart);
    }
    return multiPart;
}

} // namespace

// Lives on the request thread: everything it holds is touched there alone.
class RequestWorker : public QObject
{
public:
    RequestWorker(const QByteArray& userAgent, RequestThread* front)
        : userAgent(userAgent), front(front)
    { }

    void Start(quint64 id, const RequestThread::Request& request);
    void Abort(quint64 id);
    // Ends every request, answering none, and lets the network access manager go.
    void End();

private:
    QNetworkAccessManager& Manager();
    void Watch(
        quint64 id, QNetworkReply* reply, const RequestThread::Request& request, QSaveFile* file);
    void Answer(quint64 id, const RequestThread::Outcome& outcome);

    const QByteArray userAgent;
    RequestThread* const front;
    std::unique_ptr<QNetworkAccessManager> manager;
    // Made for the first request: the system's CA store is read once.
    std::optional<QSslConfiguration> sslConfiguration;
    QHash<quint64, QNetworkReply*> replies;
};

QNetworkAccessManager& RequestWorker::Manager()
{
    if (!manager)
        manager = std::make_unique<QNetworkAccessManager>();
    return *manager;
}

void RequestWorker::Start(quint64 id, const RequestThread::Request& request)
{
    std::unique_ptr<QSaveFile> file;
    if (!request.saveTo.isEmpty()) {
        QDir().mkpath(QFileInfo(request.saveTo).absolutePath());
        // A file of the same name is replaced only once the new one is complete.
        file = std::make_unique<QSaveFile>(request.saveTo);
        if (!file->open(QIODevice::WriteOnly)) {
            RequestThread::Outcome failed;
            failed.kind = Api::Outcome::FileError;
            failed.error = file->errorString();
            Answer(id, failed);
            return;
        }
    }
    QNetworkRequest networkRequest(request.url);
    if (!sslConfiguration)
        sslConfiguration = ServiceConfig::sslConfiguration();
    // Certificate errors are never ignored: a server that does not verify is unreachable.
    networkRequest.setSslConfiguration(*sslConfiguration);
    networkRequest.setHeader(QNetworkRequest::UserAgentHeader, userAgent);
    if (request.followRedirects)
        networkRequest.setAttribute(
            QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = nullptr;
    if (!request.parts.isEmpty()) {
        std::unique_ptr<QHttpMultiPart> multiPart = Multipart(request);
        reply = Manager().post(networkRequest, multiPart.get());
        multiPart.release()->setParent(reply);
    } else if (request.formBody) {
        networkRequest.setHeader(QNetworkRequest::ContentTypeHeader, MyMimeTypes::formUrlEncoded);
        reply = Manager().post(networkRequest, *request.formBody);
    } else {
        reply = Manager().get(networkRequest);
    }
    if (file) {
        QSaveFile* target = file.release();
        target->setParent(reply);
        connect(reply, &QNetworkReply::readyRead, target,
            [reply, target] { target->write(reply->readAll()); });
        Watch(id, reply, request, target);
    } else {
        Watch(id, reply, request, nullptr);
    }
}

void RequestWorker::Watch(
    quint64 id, QNetworkReply* reply, const RequestThread::Request& request, QSaveFile* file)
{
    replies.insert(id, reply);
    // The time limit counts from the last sign of life, so a large upload on a slow line is
    // not cut off while it still moves; the deadline ends one that hardly moves.
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    timer->setInterval(request.timeoutMs);
    connect(timer, &QTimer::timeout, reply, [reply, timeoutMs = request.timeoutMs] {
        reply->setProperty(timedOutProperty, timeoutMs / 1000.0);
        reply->abort();
    });
    auto* deadline = new Deadline(request.deadlineMs, reply);
    connect(deadline, &QTimer::timeout, reply, [reply, deadline] {
        reply->setProperty(timedOutProperty, deadline->ElapsedMs() / 1000.0);
        reply->abort();
    });
    connect(reply, &QNetworkReply::uploadProgress, timer, [timer, deadline](qint64 sent) {
        timer->start();
        deadline->SetSent(sent);
    });
    const qint64 maxBytes = request.maxBytes;
    const bool reportsProgress = request.reportsProgress;
    connect(reply, &QNetworkReply::downloadProgress, timer,
        [this, id, reply, timer, deadline, maxBytes, reportsProgress](
            qint64 received, qint64 total) {
            timer->start();
            deadline->SetReceived(received);
            // Refused as soon as it is known to be too large: announced or received.
            if (received > maxBytes || total > maxBytes) {
                reply->setProperty(
                    tooLargeProperty, Tr("the answer is larger than %1 bytes").arg(maxBytes));
                reply->abort();
                return;
            }
            if (reportsProgress)
                QMetaObject::invokeMethod(
                    front,
                    [front = front, id, received, total] {
                        front->Progressed(id, received, total);
                    },
                    Qt::QueuedConnection);
        });
    connect(reply, &QNetworkReply::sslErrors, this, [reply](const QList<QSslError>& errors) {
        QStringList texts = reply->property(tlsErrorsProperty).toStringList();
        for (const QSslError& error : errors)
            texts << error.errorString();
        reply->setProperty(tlsErrorsProperty, texts);
    });
    connect(reply, &QNetworkReply::finished, deadline, &QTimer::stop);
    connect(reply, &QNetworkReply::finished, this,
        [this, id, reply, timer, file, parse = request.parse] {
            replies.remove(id);
            reply->deleteLater();
            timer->stop();
            RequestThread::Outcome outcome;
            if (reply->isOpen())
                outcome.body = reply->readAll();
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            outcome.httpStatus = status;
            outcome.tlsErrors = reply->property(tlsErrorsProperty).toStringList();
            if (reply->property(timedOutProperty).isValid()) {
                outcome.kind = Api::Outcome::Timeout;
                outcome.error
                    = Tr("no answer in %1 s").arg(reply->property(timedOutProperty).toDouble());
            } else if (reply->property(tooLargeProperty).isValid()) {
                outcome.kind = Api::Outcome::BadAnswer;
                outcome.error = reply->property(tooLargeProperty).toString();
            } else if (status != 0 && status != 200) {
                outcome.kind = Api::Outcome::HttpStatus;
                outcome.error = QStringLiteral("HTTP %1").arg(status);
            } else if (reply->error() != QNetworkReply::NoError) {
                outcome.kind = outcome.tlsErrors.isEmpty() ? ConnectionFailure(reply->error())
                                                           : Api::Outcome::Tls;
                outcome.error = reply->errorString();
            } else if (status != 200) {
                outcome.kind = Api::Outcome::Unreachable;
                outcome.error = Tr("no HTTP answer");
            } else {
                outcome.kind = Api::Outcome::Ok;
            }
            if (file) {
                if (outcome.IsOk()) {
                    file->write(outcome.body);
                    outcome.body.clear();
                    if (!file->commit()) {
                        outcome.kind = Api::Outcome::FileError;
                        outcome.error = file->errorString();
                    }
                } else {
                    file->cancelWriting();
                }
            }
            if (parse)
                outcome.parsed = parse(outcome.body);
            Answer(id, outcome);
        });
    timer->start();
}

void RequestWorker::Answer(quint64 id, const RequestThread::Outcome& outcome)
{
    QMetaObject::invokeMethod(
        front, [front = front, id, outcome] { front->Deliver(id, outcome); }, Qt::QueuedConnection);
}

void RequestWorker::Abort(quint64 id)
{
    QNetworkReply* reply = replies.value(id);
    if (!reply)
        return;
    // What a cancelled download wrote goes with it, before this returns.
    if (auto* file = reply->findChild<QSaveFile*>())
        file->cancelWriting();
    reply->abort();
}

void RequestWorker::End()
{
    const QHash<quint64, QNetworkReply*> running = std::exchange(replies, {});
    for (QNetworkReply* reply : running) {
        reply->disconnect(this);
        if (auto* file = reply->findChild<QSaveFile*>())
            file->cancelWriting();
        reply->abort();
    }
    manager.reset();
}

RequestThread::RequestThread(const QByteArray& userAgent, QObject* parent)
    : QObject(parent), worker(new RequestWorker(userAgent, this))
{
    thread.setObjectName(QStringLiteral("requests"));
    worker->moveToThread(&thread);
    connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(&thread, &QThread::started, &thread, &ThreadPriority::MakeThisThreadBackground,
        Qt::DirectConnection);
    thread.start();
}

RequestThread::~RequestThread()
{
    pending.clear();
    QMetaObject::invokeMethod(
        worker, [worker = worker] { worker->End(); }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}

quint64 RequestThread::Start(Request request, Done done, Progress progress)
{
    const quint64 id = ++lastId;
    request.reportsProgress = bool(progress);
    pending.insert(id, { std::move(done), std::move(progress) });
    QMetaObject::invokeMethod(
        worker, [worker = worker, id, request] { worker->Start(id, request); },
        Qt::QueuedConnection);
    return id;
}

void RequestThread::Abort(quint64 id)
{
    if (!pending.contains(id))
        return;
    QMetaObject::invokeMethod(
        worker, [worker = worker, id] { worker->Abort(id); }, Qt::QueuedConnection);
}

void RequestThread::Cancel(quint64 id)
{
    if (!pending.remove(id))
        return;
    QMetaObject::invokeMethod(
        worker, [worker = worker, id] { worker->Abort(id); }, Qt::BlockingQueuedConnection);
}

bool RequestThread::IsRunning(quint64 id) const
{
    return pending.contains(id);
}

void RequestThread::Deliver(quint64 id, const Outcome& outcome)
{
    auto it = pending.find(id);
    if (it == pending.end())
        return;
    const Done done = std::move(it->done);
    pending.erase(it);
    done(outcome);
}

void RequestThread::Progressed(quint64 id, qint64 received, qint64 total)
{
    const auto it = pending.constFind(id);
    if (it != pending.constEnd() && it->progress)
        it->progress(received, total);
}
