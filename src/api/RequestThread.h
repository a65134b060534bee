#pragma once

#include "ApiOutcome.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QUrl>

#include <any>
#include <functional>
#include <optional>

class RequestWorker;

// HTTP requests made, watched and answered on a thread of their own, with a network access
// manager of their own: setting a request up, its TLS session and every sign of its progress
// no longer hold up the thread that asks. Each answer comes back on the thread that made this
// object, in a later turn of its event loop, and only while the request is still wanted.
class RequestThread : public QObject
{
    Q_OBJECT
public:
    // One part of a multipart form: a text field, or a file when it has a file name.
    struct Part
    {
        QString name;
        QByteArray body;
        QString fileName;
        QString contentType;
        // Whether the body holds the form's usual boundary, when its maker looked already.
        std::optional<bool> holdsBoundary;
    };

    struct Request
    {
        QUrl url;
        // Without a form or parts it is a GET.
        std::optional<QByteArray> formBody; // url-encoded fields, posted as a form
        QList<Part> parts; // posted as a multipart form
        QByteArray boundary; // the multipart boundary unless a part holds it
        bool followRedirects = false;
        // Refused as soon as the answer is known to be larger, announced or received.
        qint64 maxBytes = 0;
        // Fails with no sign of life for this long.
        int timeoutMs = 30000;
        // Must be over this long after it was sent, plus the time its bytes take on a slow line.
        int deadlineMs = 60000;
        // The answer is streamed into this file, which is replaced only once the whole answer
        // is in; the outcome's body is then empty.
        QString saveTo;
        bool reportsProgress = false;
        // Run on the request thread with the answer's body, ok or not; what it gives comes
        // back in the outcome, so a large answer is not read on the thread that asked.
        std::function<std::any(const QByteArray& body)> parse;
    };

    // How one request ended: ok, or how and why it failed.
    struct Outcome
    {
        // Ok, or one of the failures a connection shows (Unreachable to FileError, and
        // BadAnswer for an answer past its size bound).
        Api::Outcome kind = Api::Outcome::Unreachable;
        QString error;
        QByteArray body;
        int httpStatus = 0;
        QStringList tlsErrors; // as the TLS session reported them, answered or not
        std::any parsed; // what the request's parse gave

        bool IsOk() const { return kind == Api::Outcome::Ok; }
    };

    using Done = std::function<void(const Outcome&)>;
    using Progress = std::function<void(qint64 received, qint64 total)>;

    explicit RequestThread(const QByteArray& userAgent, QObject* parent = nullptr);
    // Ends every running request; none answers.
    ~RequestThread() override;

    // The number names the request until its answer is delivered.
    quint64 Start(Request request, Done done, Progress progress = {});
    // Cuts a running request short: its answer follows, as a failure.
    void Abort(quint64 id);
    // Ends a running request and returns once it is gone, with what it wrote: no answer follows.
    void Cancel(quint64 id);
    bool IsRunning(quint64 id) const;

private:
    void Deliver(quint64 id, const Outcome& outcome);
    void Progressed(quint64 id, qint64 received, qint64 total);
    friend class RequestWorker;

    struct Pending
    {
        Done done;
        Progress progress;
    };
    QHash<quint64, Pending> pending;
    quint64 lastId = 0;
    QThread thread;
    RequestWorker* worker;
};
