#include "FakeHttpServer.h"

#include <QSslSocket>
#include <QTimer>

#include <memory>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

constexpr int maxHeaderBytes = 64 * 1024;
constexpr int maxBodyBytes = 64 * 1024 * 1024;

QByteArray ReasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    default:
        return status >= 500 ? "Internal Server Error" : "Unknown";
    }
}

} // namespace

FakeHttpServer::FakeHttpServer(
    const QSslCertificate& certificate, const QSslKey& key, Handler handler, QObject* parent)
    : QTcpServer(parent), certificate(certificate), key(key), handler(std::move(handler))
{ }

void FakeHttpServer::incomingConnection(qintptr descriptor)
{
    auto* socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setLocalCertificate(certificate);
    socket->setPrivateKey(key);
    connections.insert(socket, {});
    connect(socket, &QSslSocket::readyRead, this, [this, socket] { ReadRequests(socket); });
    connect(socket, &QSslSocket::disconnected, this, [this, socket] {
        connections.remove(socket);
        socket->deleteLater();
    });
    // A client that refuses the certificate just goes away; nothing to report.
    connect(socket, QOverload<const QList<QSslError>&>::of(&QSslSocket::sslErrors), socket, [] {});
    socket->startServerEncryption();
}

void FakeHttpServer::ReadRequests(QSslSocket* socket)
{
    // The client sends a request's head and body in two writes and waits for our
    // acknowledgement of the first; acknowledging at once saves 40 ms per request.
    const int on = 1;
    setsockopt(int(socket->socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    Connection& connection = connections[socket];
    connection.buffer += socket->readAll();
    while (!connection.busy) {
        const int headerEnd = connection.buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0) {
            if (connection.buffer.size() > maxHeaderBytes)
                socket->disconnectFromHost();
            return;
        }
        Request request;
        const QList<QByteArray> lines = connection.buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        const QByteArray target = requestLine.value(1);
        const int query = target.indexOf('?');
        request.path = QString::fromUtf8(query < 0 ? target : target.left(query));
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines.at(i).indexOf(':');
            if (colon > 0)
                request.headers.insert(lines.at(i).left(colon).trimmed().toLower(),
                    lines.at(i).mid(colon + 1).trimmed());
        }
        if (request.headers.contains("transfer-encoding")) {
            Send(socket, { 411, "text/plain", "Content-Length required", 0 });
            socket->disconnectFromHost();
            return;
        }
        bool lengthOk = true;
        const int length = request.headers.value("content-length", "0").toInt(&lengthOk);
        if (!lengthOk || length < 0 || length > maxBodyBytes) {
            Send(socket, { 413, "text/plain", "Bad Content-Length", 0 });
            socket->disconnectFromHost();
            return;
        }
        if (connection.buffer.size() < headerEnd + 4 + length)
            return;
        request.body = connection.buffer.mid(headerEnd + 4, length);
        connection.buffer.remove(0, headerEnd + 4 + length);

        const Response response = handler(request);
        if (response.delayMs <= 0 && response.dripMs <= 0) {
            Send(socket, response);
            continue;
        }
        // Later requests on this connection wait behind the held-back or dripping answer.
        connection.busy = true;
        QTimer::singleShot(response.delayMs, socket, [this, socket, response] {
            if (!connections.contains(socket))
                return;
            if (response.dripMs > 0) {
                Drip(socket, response);
                return;
            }
            Send(socket, response);
            Resume(socket);
        });
    }
}

QByteArray FakeHttpServer::Head(const Response& response)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' '
        + ReasonPhrase(response.status) + "\r\n";
    head += "Content-Type: " + response.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "Connection: keep-alive\r\n\r\n";
    return head;
}

void FakeHttpServer::Send(QSslSocket* socket, const Response& response)
{
    socket->write(Head(response) + response.body);
}

// The head at once, then the body a byte at a time: every byte is a sign of life.
void FakeHttpServer::Drip(QSslSocket* socket, const Response& response)
{
    socket->write(Head(response));
    auto* timer = new QTimer(socket);
    auto sent = std::make_shared<int>(0);
    connect(timer, &QTimer::timeout, socket, [this, socket, timer, sent, response] {
        if (*sent < response.body.size())
            socket->write(response.body.mid((*sent)++, 1));
        if (*sent < response.body.size())
            return;
        timer->deleteLater();
        Resume(socket);
    });
    timer->start(response.dripMs);
}

void FakeHttpServer::Resume(QSslSocket* socket)
{
    if (!connections.contains(socket))
        return;
    connections[socket].busy = false;
    ReadRequests(socket);
}
