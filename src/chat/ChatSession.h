#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

class QObject;

// One chat session as the chat module (chat-connection.so, which brings the XMPP library and
// what it needs) offers it to ChatConnection. Plain virtual calls and callbacks, no signals:
// the module and the client each hold their own copy of what they share.
class ChatSession
{
public:
    // What the session reports, always on the GUI thread; as ChatConnection's signals.
    struct Events
    {
        std::function<void(bool connected)> connectionChanged;
        std::function<void(const QString& from, const QString& text, const QDateTime& sentAt)>
            messageReceived;
        std::function<void()> failed;
    };

    virtual ~ChatSession() = default;

    virtual void ConnectToServer(const QString& jid, const QString& password) = 0;
    virtual void AcceptMessages() = 0;
    virtual void Disconnect() = 0;
    virtual bool IsConnected() const = 0;
    // Sends `text` to `userName` at the chat domain of the session; false when it could not go
    // out.
    virtual bool SendTo(const QString& userName, const QString& text) = 0;
    // The library's own client, for what the session does not relay.
    virtual QObject* Client() = 0;
};

namespace ChatModule {

// Makes a session that reports through `events`; the caller owns it.
using CreateFunction = ChatSession* (*)(ChatSession::Events events);

inline constexpr char fileName[] = "chat-connection.so";
inline constexpr char createName[] = "movarelquintash_chat_session_create";

} // namespace ChatModule
