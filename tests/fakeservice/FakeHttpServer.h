#pragma once

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTcpServer>

#include <functional>

class QSslSocket;

// A minimal HTTPS/1.1 server on a loopback port: it reads requests with a Content-Length
// body, one at a time per connection, and writes whatever the handler answers, possibly late.
class FakeHttpServer : public QTcpServer
{
    Q_OBJECT
public:
    struct Request
    {
        QByteArray method;
        QString path; // without the query
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    struct Response
    {
        int status = 200;
        QByteArray contentType = "text/xml; charset=utf-8";
        QByteArray body;
        int delayMs = 0; // answer this much later (the "slow" failure)
        int dripMs = 0; // send the body one byte at a time, this far apart (the "drip" failure)
    };

    using Handler = std::function<Response(const Request&)>;

    FakeHttpServer(const QSslCertificate& certificate, const QSslKey& key, Handler handler,
        QObject* parent = nullptr);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Connection
    {
        QByteArray buffer;
        bool busy = false; // an answer is still being held back
    };

    void ReadRequests(QSslSocket* socket);
    static QByteArray Head(const Response& response);
    void Send(QSslSocket* socket, const Response& response);
    void Drip(QSslSocket* socket, const Response& response);
    void Resume(QSslSocket* socket);

    QSslCertificate certificate;
    QSslKey key;
    Handler handler;
    QHash<QSslSocket*, Connection> connections;
};
