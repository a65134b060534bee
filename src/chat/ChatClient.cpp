#include "ChatClient.h"

#include "ServiceConfig.h"

#include <QSslSocket>
#include <QXmppConfiguration.h>
#include <QXmppMessage.h>
#include <QXmppOutgoingClient.h>
#include <QXmppPresence.h>

ChatClient::ChatClient(QObject* parent) : QXmppClient(parent)
{
    connect(this, &QXmppClient::messageReceived, this, &ChatClient::OnMessageRecieved);
    connect(this, &QXmppClient::connected, this, &ChatClient::OnConnected);
    connect(this, &QXmppClient::disconnected, this, &ChatClient::OnDisConnected);
    connect(this, &QXmppClient::error, this, &ChatClient::OnErrorHandler);
}

void ChatClient::connectToServer(const QString& jid, const QString& password)
{
    connectWith(ConfigurationFor(jid, password));
}

void ChatClient::connectWith(const QXmppConfiguration& config)
{
    acceptsMessages = false;
    EndLastConnection();
    // Signed in but not available: the server keeps the member's messages meanwhile.
    QXmppClient::connectToServer(config, QXmppPresence(QXmppPresence::Unavailable));
}

QXmppConfiguration ChatClient::ConfigurationFor(const QString& jid, const QString& password)
{
    QXmppConfiguration config;
    config.setJid(jid);
    config.setPassword(password);
    config.setHost(ServiceConfig::chatHost());
    config.setPort(ServiceConfig::chatPort());
    config.setStreamSecurityMode(QXmppConfiguration::TLSRequired);
    config.setCaCertificates(ServiceConfig::trustedCaCertificates());
    // Stated, not left to the library's default: a certificate error ends the connection.
    config.setIgnoreSslErrors(false);
    return config;
}

void ChatClient::EndLastConnection()
{
    // A sign-out just made may still be closing its socket: the library would refuse the new
    // connection for it and try again only 10 s later.
    const auto* stream = findChild<QXmppOutgoingClient*>();
    QSslSocket* socket = stream ? stream->socket() : nullptr;
    if (socket && socket->state() != QAbstractSocket::UnconnectedState)
        socket->abort();
}

void ChatClient::AcceptMessages()
{
    acceptsMessages = true;
    if (isConnected())
        Announce();
}

QDateTime ChatClient::SentAt(const QDateTime& stamp, const QDateTime& now)
{
    // A stamp ahead of the clock is the server's clock running ahead, or no time at all.
    if (!stamp.isValid() || stamp > now)
        return now;
    return stamp.toLocalTime();
}

void ChatClient::Announce()
{
    // Only while connected: the library would connect to make it known otherwise.
    if (clientPresence().type() != QXmppPresence::Available)
        setClientPresence(QXmppPresence(QXmppPresence::Available));
}

void ChatClient::OnConnected()
{
    // The library's reconnection sends the presence it holds: announced once, always again.
    if (acceptsMessages)
        Announce();
    emit OnConnectionStateChange(true);
}

void ChatClient::OnDisConnected()
{
    emit OnConnectionStateChange(false);
}

void ChatClient::OnMessageRecieved(const QXmppMessage& message)
{
    // Typing notices, receipts and the like carry no body; error bounces are not the
    // partner's words.
    if (message.type() == QXmppMessage::Error || message.body().isEmpty())
        return;
    emit MessageRecived(
        message.from(), message.body(), SentAt(message.stamp(), QDateTime::currentDateTime()));
}

void ChatClient::OnErrorHandler(QXmppClient::Error error)
{
    Q_UNUSED(error)
    emit CatchXmppError();
}
