#include "RosterWindow.h"

#include "ui_RosterWindow.h"

Conversations::Context RosterWindow::ConversationsContext()
{
    Conversations::Context context;
    context.me = [this] {
        return restApi.GetCurrentUserInRosterFormat();
    };
    context.meAsShown = [this] {
        RosterManager::ROSTER_ITEM me = restApi.GetCurrentUserInRosterFormat();
        me.status = currentStatus;
        me.avatar = misc.GetUserAvatar(tracking.IsTracking());
        return me;
    };
    context.session = [this] {
        if (!isSignedIn)
            return Conversations::Session::SignedOut;
        return !rosterView || rosterView->AwaitsFirstRoster()
            ? Conversations::Session::BeforeFirstRoster
            : Conversations::Session::Rostered;
    };
    context.showNotice = [this](const QString& title, const QString& text) {
        environment.showTrayNotice(title, text);
    };
    return context;
}

void RosterWindow::StartConversation(const QString& textMessage)
{
    conversations.StartWithRow(
        ListWidgetManager::GetGroupAndContactID(ui->lstRoster->currentItem()), textMessage);
}

void RosterWindow::StartConversation(
    const RosterManager::ROSTER_ITEM& item, const QString& textMessage)
{
    conversations.StartWith(item, textMessage);
}

ChatConnection& RosterWindow::Chat()
{
    return conversations.Chat();
}

void RosterWindow::OnChatMessageRecived(
    const QString& from, const QString& text, const QDateTime& sentAt)
{
    conversations.OnMessage(from, text, sentAt);
}
