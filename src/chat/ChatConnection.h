#pragma once

#include "ChatSession.h"

#include <QObject>

#include <memory>

// The client's chat connection. Its session lives in the chat module, loaded when the first
// connection is made (a sign-in), so a start maps and links none of the XMPP library and its
// dependencies before the sign-in dialog shows. See ChatClient for what a session does.
class ChatConnection : public QObject
{
    Q_OBJECT
public:
    explicit ChatConnection(QObject* parent = nullptr);
    ~ChatConnection() override;

    // Where the client looks for the module, from the folder of its binary.
    static QString ModulePath(const QString& programFolder);
    // Sessions from the module at `path` instead: for programs other than the client (its
    // tests), which lie elsewhere. Before the first connection is made.
    static void UseModuleAt(const QString& path);

    // As ChatClient's. Without the module nothing connects: said once on the terminal.
    void connectToServer(const QString& jid, const QString& password);
    void AcceptMessages();
    void disconnectFromServer();
    bool isConnected() const;
    // Sends `text` to `userName` at the chat domain; false when it could not go out.
    bool SendTo(const QString& userName, const QString& text);
    // The library's client of the session, null without one.
    QObject* Client() const;

signals:
    void OnConnectionStateChange(bool connectionState);
    void MessageRecived(
        const QString& fromUser, const QString& messageText, const QDateTime& sentAt = QDateTime());
    void CatchXmppError();

private:
    ChatSession* Session();

    std::unique_ptr<ChatSession> session;
};
