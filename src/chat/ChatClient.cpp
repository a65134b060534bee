#include "ChatClient.h"

#include "ServiceConfig.h"

#include <QXmppConfiguration.h>
#include <QXmppMessage.h>

ChatClient::ChatClient(QObject* parent) : QXmppClient(parent)
{
    connect(this, &QXmppClient::messageReceived, this, &ChatClient::OnMessageRecieved);
    connect(this, &QXmppClient::connected, this, &ChatClient::OnConnected);
    connect(this, &QXmppClient::disconnected, this, &ChatClient::OnDisConnected);
    connect(this, &QXmppClient::error, this, &ChatClient::OnErrorHandler);
}

void ChatClient::connectToServer(const QString& jid, const QString& password)
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
    QXmppClient::connectToServer(config);
}

void ChatClient::OnConnected()
{
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
    emit MessageRecived(message.from(), message.body());
}

void ChatClient::OnErrorHandler(QXmppClient::Error error)
{
    Q_UNUSED(error)
    emit CatchXmppError();
}
