#include "Conversations.h"

#include "ChatAddress.h"
#include "ChatHistory.h"
#include "ChatWindowDialog.h"
#include "LogCategories.h"
#include "LogManager.h"
#include "ServiceConfig.h"
#include "ShownText.h"

#include <QApplication>
#include <QLoggingCategory>

namespace {

// The name by which open conversations are found among the top-level windows.
const QString chatDialogName = QStringLiteral("ChatDialog");

// A message as a tray notice shows it.
QString NoticeText(const QString& text)
{
    return ShownText::Of(text, 0, ShownText::maxNoticeCharacters);
}

} // namespace

Conversations::Conversations(
    const RosterManager& roster, LogManager& log, Context context, QObject* parent)
    : QObject(parent), roster(roster), log(log), context(std::move(context))
{ }

ChatConnection& Conversations::Chat()
{
    if (!chatClient) {
        chatClient.emplace(this);
        connect(&*chatClient, &ChatConnection::OnConnectionStateChange, this,
            &Conversations::OnConnectionStateChange);
        connect(&*chatClient, &ChatConnection::MessageRecived, this, &Conversations::OnMessage);
    }
    return *chatClient;
}

void Conversations::StartWithRow(const QList<int>& ids, const QString& textMessage)
{
    if (ids.size() != 2)
        return;
    const RosterManager::ROSTER_ITEM me = context.meAsShown();
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show chat with user"));
    Open(me, roster.GetRosterItemByIndexes(ids.at(0), ids.at(1)), textMessage);
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Chat was showed"));
}

void Conversations::StartWith(const RosterManager::ROSTER_ITEM& partner, const QString& textMessage)
{
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show chat from startConversation"));
    Open(context.me(), partner, textMessage);
    log.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Chat was showed"));
}

// One window per partner: a second window would store each of the partner's messages again.
void Conversations::Open(const RosterManager::ROSTER_ITEM& me,
    const RosterManager::ROSTER_ITEM& partner, const QString& textMessage)
{
    if (ChatWindowDialog* open = FindConversation(partner.userName)) {
        if (open->isMinimized())
            open->showNormal();
        open->raise();
        open->activateWindow();
        return;
    }
    ChatConnection& chat = Chat();
    auto* window = new ChatWindowDialog;
    connect(&chat, &ChatConnection::MessageRecived, window, &ChatWindowDialog::OnMessageRecieved);
    window->setObjectName(chatDialogName);
    if (!window->showChatWithUser(&chat, me, partner, textMessage))
        delete window;
}

ChatWindowDialog* Conversations::FindConversation(const QString& userName)
{
    if (userName.isEmpty())
        return nullptr;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* widget : windows) {
        auto* window = qobject_cast<ChatWindowDialog*>(widget);
        // A closed window is hidden until its deletion: it is no longer the conversation.
        if (!window || widget->objectName() != chatDialogName || widget->isHidden())
            continue;
        if (window->GetWithUserChatName().userName.compare(userName, Qt::CaseInsensitive) == 0)
            return window;
    }
    return nullptr;
}

// The next member to sign in must neither read nor write the conversations of the last.
void Conversations::CloseConversations()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* widget : windows) {
        if (qobject_cast<ChatWindowDialog*>(widget) && widget->objectName() == chatDialogName)
            widget->close();
    }
}

void Conversations::OnMessage(const QString& from, const QString& text, const QDateTime& sentAt)
{
    log.AddToLog(LogManager::LOG_NEW_CHAT_MESSAGE);
    if (ChatAddress::IsServer(from, ServiceConfig::chatDomain())) {
        context.showNotice(tr("Broadcast message:"), NoticeText(text));
        return;
    }
    const QDateTime sent = sentAt.isValid() ? sentAt : QDateTime::currentDateTime();
    const Session session = context.session();
    if (session == Session::SignedOut) {
        // Came as the session ended: the next member must not see it.
        NoteNotStored(from, QStringLiteral("signed out"));
        return;
    }
    // Only the roster tells a partner from a stranger: until the first one, messages wait.
    if (session == Session::BeforeFirstRoster) {
        if (!waiting.Add({ from, text, sent })) {
            NoteNotStored(from, QStringLiteral("too many messages wait for the roster"));
            context.showNotice(
                tr("New message from: ") + ChatAddress::UserPart(from), NoticeText(text));
        }
        return;
    }
    Route(from, text, sent);
}

void Conversations::OnConnectionStateChange(bool connected)
{
    if (!connected)
        qCDebug(chatConnectionLog) << "Disconnected from xmpp server";
}

void Conversations::Route(const QString& from, const QString& text, const QDateTime& sentAt)
{
    const QString user = ChatAddress::UserPart(from);
    if (ChatWindowDialog* window = FindConversation(user)) {
        // The window stores and shows the message itself.
        if (window->isMinimized())
            context.showNotice(
                tr("New message from ") + window->GetWithUserChatName().fullName, NoticeText(text));
        return;
    }

    const RosterManager::ROSTER_ITEM entry
        = user.isEmpty() ? RosterManager::ROSTER_ITEM() : roster.GetRosterItemByUserName(user);
    if (entry.contactID == -1 && entry.groupID == -1) {
        context.showNotice(
            tr("New message from: ") + (user.isEmpty() ? from : user), NoticeText(text));
        return;
    }
    context.showNotice(tr("New message from: ") + entry.fullName, NoticeText(text));
    const QString file = ChatWindowDialog::GetHisotryFileNameForCurrentChat(entry);
    if (!file.isEmpty())
        ChatHistory::AppendHistory(file,
            ChatHistory::HistoryEntry(
                entry.groupID, entry.contactID, sentAt, entry.fullName, text));
}

void Conversations::RosterCame()
{
    const QList<WaitingMessages::Message> messages = waiting.Take();
    for (const WaitingMessages::Message& message : messages)
        Route(message.from, message.text, message.sentAt);
    // What the server kept for the member comes now, and is routed as it comes.
    if (chatClient)
        chatClient->AcceptMessages();
}

void Conversations::SignOut()
{
    if (chatClient)
        chatClient->disconnectFromServer();
    CloseConversations();
    DropWaiting(QStringLiteral("signed out before the roster came"));
}

void Conversations::Quit()
{
    DropWaiting(QStringLiteral("the client quit before the roster came"));
}

void Conversations::DropWaiting(const QString& why)
{
    const QList<WaitingMessages::Message> messages = waiting.Take();
    for (const WaitingMessages::Message& message : messages)
        NoteNotStored(message.from, why);
}

void Conversations::NoteNotStored(const QString& from, const QString& why)
{
    log.AddToLog(
        LogManager::LOG_TEXT, QStringLiteral("Chat message from %1 not stored: %2").arg(from, why));
}
