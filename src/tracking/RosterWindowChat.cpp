#include "RosterWindow.h"

#include "ChatAddress.h"
#include "ChatHistory.h"
#include "ChatWindowDialog.h"
#include "ServiceConfig.h"
#include "ShownText.h"
#include "ui_RosterWindow.h"

#include <QApplication>
#include <QDateTime>
#include <QListWidget>

namespace {

// The name by which open conversations are found among the top-level windows.
const QString chatDialogName = QStringLiteral("ChatDialog");

// A message as a tray notice shows it.
QString NoticeText(const QString& text)
{
    return ShownText::Of(text, 0, ShownText::maxNoticeCharacters);
}

} // namespace

void RosterWindow::StartConversation(const QString& textMessage)
{
    const QList<int> ids = ListWidgetManager::GetGroupAndContactID(ui->lstRoster->currentItem());
    if (ids.size() != 2)
        return;
    RosterManager::ROSTER_ITEM me = restApi.GetCurrentUserInRosterFormat();
    me.status = currentStatus;
    me.avatar = misc.GetUserAvatar(isTracking);
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show chat with user"));
    OpenConversation(me, rosterManager.GetRosterItemByIndexes(ids.at(0), ids.at(1)), textMessage);
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Chat was showed"));
}

void RosterWindow::StartConversation(
    const RosterManager::ROSTER_ITEM& item, const QString& textMessage)
{
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Show chat from startConversation"));
    OpenConversation(restApi.GetCurrentUserInRosterFormat(), item, textMessage);
    logManager.AddToLog(LogManager::LOG_TEXT, QStringLiteral("Chat was showed"));
}

// One window per partner: a second window would store each of the partner's messages again.
void RosterWindow::OpenConversation(const RosterManager::ROSTER_ITEM& me,
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

ChatConnection& RosterWindow::Chat()
{
    if (!chatClient) {
        chatClient.emplace(this);
        connect(&*chatClient, &ChatConnection::OnConnectionStateChange, this,
            &RosterWindow::OnChatConnectionStateChange);
        connect(
            &*chatClient, &ChatConnection::MessageRecived, this, &RosterWindow::OnChatMessageRecived);
    }
    return *chatClient;
}

ChatWindowDialog* RosterWindow::FindConversation(const QString& userName) const
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
void RosterWindow::CloseConversations()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* widget : windows) {
        if (qobject_cast<ChatWindowDialog*>(widget) && widget->objectName() == chatDialogName)
            widget->close();
    }
}

void RosterWindow::OnChatMessageRecived(
    const QString& from, const QString& text, const QDateTime& sentAt)
{
    logManager.AddToLog(LogManager::LOG_NEW_CHAT_MESSAGE);
    if (ChatAddress::IsServer(from, ServiceConfig::chatDomain())) {
        environment.showTrayNotice(tr("Broadcast message:"), NoticeText(text));
        return;
    }
    const QDateTime sent = sentAt.isValid() ? sentAt : QDateTime::currentDateTime();
    if (!isSignedIn) {
        // Came as the session ended: the next member must not see it.
        NoteChatMessageNotStored(from, QStringLiteral("signed out"));
        return;
    }
    // Only the roster tells a partner from a stranger: until the first one, messages wait.
    if (rosterView->AwaitsFirstRoster()) {
        if (!waitingChatMessages.Add({ from, text, sent })) {
            NoteChatMessageNotStored(from, QStringLiteral("too many messages wait for the roster"));
            environment.showTrayNotice(
                tr("New message from: ") + ChatAddress::UserPart(from), NoticeText(text));
        }
        return;
    }
    RouteChatMessage(from, text, sent);
}

void RosterWindow::RouteChatMessage(
    const QString& from, const QString& text, const QDateTime& sentAt)
{
    const QString user = ChatAddress::UserPart(from);
    if (ChatWindowDialog* window = FindConversation(user)) {
        // The window stores and shows the message itself.
        if (window->isMinimized())
            environment.showTrayNotice(
                tr("New message from ") + window->GetWithUserChatName().fullName, NoticeText(text));
        return;
    }

    const RosterManager::ROSTER_ITEM entry = user.isEmpty()
        ? RosterManager::ROSTER_ITEM()
        : rosterManager.GetRosterItemByUserName(user);
    if (entry.contactID == -1 && entry.groupID == -1) {
        environment.showTrayNotice(
            tr("New message from: ") + (user.isEmpty() ? from : user), NoticeText(text));
        return;
    }
    environment.showTrayNotice(tr("New message from: ") + entry.fullName, NoticeText(text));
    const QString file = ChatWindowDialog::GetHisotryFileNameForCurrentChat(entry);
    if (!file.isEmpty())
        ChatHistory::AppendHistory(file,
            ChatHistory::HistoryEntry(
                entry.groupID, entry.contactID, sentAt, entry.fullName, text));
}

void RosterWindow::RouteWaitingChatMessages()
{
    const QList<WaitingMessages::Message> waiting = waitingChatMessages.Take();
    for (const WaitingMessages::Message& message : waiting)
        RouteChatMessage(message.from, message.text, message.sentAt);
    // What the server kept for the member comes now, and is routed as it comes.
    if (chatClient)
        chatClient->AcceptMessages();
}

void RosterWindow::DropWaitingChatMessages(const QString& why)
{
    const QList<WaitingMessages::Message> waiting = waitingChatMessages.Take();
    for (const WaitingMessages::Message& message : waiting)
        NoteChatMessageNotStored(message.from, why);
}

void RosterWindow::NoteChatMessageNotStored(const QString& from, const QString& why)
{
    logManager.AddToLog(
        LogManager::LOG_TEXT, QStringLiteral("Chat message from %1 not stored: %2").arg(from, why));
}
