#pragma once

#include "ChatConnection.h"
#include "RosterManager.h"
#include "WaitingMessages.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class ChatWindowDialog;
class LogManager;

// The signed-in member's conversations: the chat connection (made on first use), the open
// chat windows, one per partner, and every incoming message, which it shows as a tray notice,
// leaves to the partner's window, keeps until the first roster of a sign-in, or stores in the
// partner's history. The roster and the own record it learns through what it is handed.
class Conversations : public QObject
{
    Q_OBJECT
public:
    // Where the session stands for incoming messages.
    enum class Session
    {
        SignedOut,
        BeforeFirstRoster, // only the roster tells a partner from a stranger
        Rostered,
    };
    Q_ENUM(Session)

    // What the conversations ask of the window, each when it is needed.
    struct Context
    {
        // The signed-in member's record as the service gave it, and as the window shows it
        // (with the status and picture of the moment).
        std::function<RosterManager::ROSTER_ITEM()> me;
        std::function<RosterManager::ROSTER_ITEM()> meAsShown;
        std::function<Session()> session;
        std::function<void(const QString& title, const QString& text)> showNotice;
    };

    Conversations(
        const RosterManager& roster, LogManager& log, Context context, QObject* parent = nullptr);

    // The chat client, made with its relays when first asked for (at the first sign-in or
    // conversation): the chat library sets up TLS as it is built, which would hold up the
    // sign-in dialog.
    ChatConnection& Chat();

    // Opens a conversation with the member of a roster row (its team and member ids; anything
    // else opens nothing), or with `partner`. A partner whose window is open gets that window
    // back instead of a second one.
    void StartWithRow(const QList<int>& ids, const QString& textMessage);
    void StartWith(const RosterManager::ROSTER_ITEM& partner, const QString& textMessage);

    // Every chat message that arrives, with the time it was sent (now when not valid).
    void OnMessage(const QString& from, const QString& text, const QDateTime& sentAt);
    void OnConnectionStateChange(bool connected);

    // The first roster has come: the messages that waited for it are routed, and the chat
    // server hands over what it kept.
    void RosterCame();
    // The session ends, the client's relays stay (the next sign-in chats again); the open
    // conversations close and what still waits goes unstored.
    void SignOut();
    // The client quits: what still waits goes unstored.
    void Quit();

private:
    void Open(const RosterManager::ROSTER_ITEM& me, const RosterManager::ROSTER_ITEM& partner,
        const QString& textMessage);
    // The open conversation with the member of this chat user name, or null.
    static ChatWindowDialog* FindConversation(const QString& userName);
    static void CloseConversations();
    void Route(const QString& from, const QString& text, const QDateTime& sentAt);
    // The messages still waiting go unstored, each noted in the activity log.
    void DropWaiting(const QString& why);
    void NoteNotStored(const QString& from, const QString& why);

    const RosterManager& roster;
    LogManager& log;
    Context context;
    std::optional<ChatConnection> chatClient;
    WaitingMessages waiting; // before the first roster of a sign-in
};
