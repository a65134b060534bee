#pragma once

#include <QDateTime>
#include <QXmppClient.h>

class QXmppConfiguration;
class QXmppMessage;

// The client's XMPP connection for one-to-one chat. It signs in to the chat server of the
// service configuration over verified TLS only, and turns the library's signals into the
// client's own. Its relays are made once, in the constructor: signing out with
// disconnectFromServer() keeps them, so the next sign-in chats again.
//
// A member's messages can be stored only once the roster names their senders. So the client
// signs in without announcing itself, and the server keeps what comes for the member, the
// messages sent while the member was signed out too, until AcceptMessages() announces the
// member: then the server hands them over, each with the time it was sent.
class ChatClient : public QXmppClient
{
    Q_OBJECT
public:
    explicit ChatClient(QObject* parent = nullptr);

    // Signs in as `jid` (user name, at sign, chat domain) with `password` at the configured chat
    // host and port, not yet announced. Returns at once; the outcome arrives as
    // OnConnectionStateChange(true), or as CatchXmppError() and OnConnectionStateChange(false).
    // A server whose certificate does not verify against ServiceConfig::trustedCaCertificates()
    // is never talked to. What is left of the last connection (a sign-out still closing) is
    // ended first.
    void connectToServer(const QString& jid, const QString& password);
    // As connectToServer(jid, password) with ConfigurationFor(jid, password) made beforehand,
    // on another thread maybe.
    void connectWith(const QXmppConfiguration& config);
    // The sign-in at the configured chat host and port, TLS required and verified.
    static QXmppConfiguration ConfigurationFor(const QString& jid, const QString& password);
    // Announces the member, now or as soon as the connection is up (again): the server hands
    // over the messages it kept and sends every new one. Until the next connectToServer().
    void AcceptMessages();

    // When a message was sent: the delay stamp that a server puts on a message it kept, or a
    // sender on one it sent late, when it is valid and not after `now`; else `now`. Local time.
    static QDateTime SentAt(const QDateTime& stamp, const QDateTime& now);

signals:
    void OnConnectionStateChange(bool connectionState);
    // A message with text: `fromUser` is the sender's full address as the server gives it,
    // `sentAt` the local time it was sent (see SentAt).
    void MessageRecived(
        const QString& fromUser, const QString& messageText, const QDateTime& sentAt = QDateTime());
    void CatchXmppError();

public slots:
    void OnConnected();
    void OnDisConnected();
    void OnMessageRecieved(const QXmppMessage& message);
    void OnErrorHandler(QXmppClient::Error error);

private:
    void Announce();
    void EndLastConnection();

    bool acceptsMessages = false;
};
