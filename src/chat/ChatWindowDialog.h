#pragma once

#include "ChatHistory.h"
#include "RosterManager.h"
#include "SettingsProvider.h"

#include <QDialog>
#include <QPointer>
#include <QString>

#include <memory>

namespace Ui {
class ChatWindowDialog;
}
class ChatClient;

// The link targets of the period switcher, one per history mode.
namespace ChatConstants {
inline const QString lastConversationLink = QStringLiteral("url:lastConversation>;");
inline const QString last50messagesLink = QStringLiteral("url:last50messages");
inline const QString todayMessages = QStringLiteral("url:today");
inline const QString lastWeek = QStringLiteral("url:lastWeek");
inline const QString last30days = QStringLiteral("url:last30days");
} // namespace ChatConstants

// The window of one conversation between the signed-in member and one partner. It shows the
// stored messages of a chosen period, sends what the member types on Return, and shows and
// stores what the partner sends; every message goes to the partner's history file. The main
// window makes one per partner, connects the chat client's MessageRecived to it and opens it
// with showChatWithUser; it deletes itself when closed.
class ChatWindowDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ChatWindowDialog(QWidget* parent = nullptr);
    ~ChatWindowDialog() override;

    // Opens the conversation with `withUser` and shows the window, sending through `client`.
    // Returns false, showing nothing, when the partner's user name cannot name a history file.
    // `firstMessage` is neither shown nor stored.
    bool showChatWithUser(ChatClient* client, const RosterManager::ROSTER_ITEM& me,
        const RosterManager::ROSTER_ITEM& withUser, const QString& firstMessage);

    // The partner; the main window finds a partner's window by its user name.
    RosterManager::ROSTER_ITEM GetWithUserChatName() const { return withUser; }

    // The history file of `item`: <data folder>/history/<userName>_<contactID>.history. Empty
    // when the user name cannot name a file (see ChatAddress::IsUsableUserName).
    static QString GetHisotryFileNameForCurrentChat(const RosterManager::ROSTER_ITEM& item);

    // The HTML of one message, its name and text shown as plain text.
    QString GetFormatedMessage(const ChatHistory::HistoryEntry& entry);
    // Adds a fragment at the end of the view and scrolls to it.
    void AppendChatText(const QString& html);
    // Refills the view with the stored messages of the chosen period.
    void LoadHistory();

public slots:
    // Every message the chat client receives; only the partner's are stored and shown.
    void OnMessageRecieved(const QString& from, const QString& messageText);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Not a slot, so the form's connection by name leaves it alone: the constructor connects it.
    void on_historyModeSwitcher_linkActivated(const QString& link);
    void MoveDown();

    void SendTypedMessage();
    // Sends `text` to the partner; false when it could not go out.
    bool SendToPartner(const QString& text);
    void StoreAndShow(const ChatHistory::HistoryEntry& entry);
    QString FormatMessage(
        const ChatHistory::HistoryEntry& entry, const SettingsProvider::SETTINGS& settings);
    void ShowNotice(const QString& text);

    std::unique_ptr<Ui::ChatWindowDialog> ui;
    RosterManager::ROSTER_ITEM me; // the signed-in member, author of sent messages
    RosterManager::ROSTER_ITEM withUser; // the partner
    ChatHistory::HistoryMode historyMode = ChatHistory::HISTORY_TODAY;
    QString historyFileName;
    QPointer<ChatClient> chatClient;
};
