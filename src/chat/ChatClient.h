#pragma once

#include <QXmppClient.h>

class QXmppMessage;

// The client's XMPP connection for one-to-one chat. It signs in to the chat server of the
// service configuration over verified TLS only, and turns the library's signals into the
// client's own. Its relays are made once, in the constructor: signing out with
// disconnectFromServer() keeps them, so the next sign-in chats again.
class ChatClient : public QXmppClient
{
    Q_OBJECT
public:
    explicit ChatClient(QObject* parent = nullptr);

    // Signs in as `jid` (user name, at sign, chat domain) with `password` at the configured chat
    // host and port. Returns at once; the outcome arrives as OnConnectionStateChange(true), or
    // as CatchXmppError() and OnConnectionStateChange(false). A server whose certificate does
    // not verify against ServiceConfig::trustedCaCertificates() is never talked to.
    void connectToServer(const QString& jid, const QString& password);

signals:
    void OnConnectionStateChange(bool connectionState);
    // A message with text: `fromUser` is the sender's full address as the server gives it.
    void MessageRecived(const QString& fromUser, const QString& messageText);
    void CatchXmppError();

public slots:
    void OnConnected();
    void OnDisConnected();
    void OnMessageRecieved(const QXmppMessage& message);
    void OnErrorHandler(QXmppClient::Error error);
};
