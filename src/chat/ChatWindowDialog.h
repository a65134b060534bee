#pragma once

#include "ChatHistory.h"
#include "RosterManager.h"
#include "SettingsProvider.h"

#include <QDateTime>
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTextCharFormat>
#include <QTimer>

#include <memory>

namespace Ui {
class ChatWindowDialog;
}
class ChatConnection;
class HistoryPeriodReader;
class QTextCursor;

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
//
// Each message is one paragraph of the view, its text shortened as ShownText says. A period is
// shown from its newest messages back, a batch of at most viewBatchCharacters of text per turn
// of the event loop, so a month of messages never holds the window up.
class ChatWindowDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int viewBatchCharacters = 16 * 1024;

    explicit ChatWindowDialog(QWidget* parent = nullptr);
    ~ChatWindowDialog() override;

    // Opens the conversation with `withUser` and shows the window, sending through `client`.
    // Returns false, showing nothing, when the partner's user name cannot name a history file.
    // `firstMessage` is neither shown nor stored.
    bool showChatWithUser(ChatConnection* client, const RosterManager::ROSTER_ITEM& me,
        const RosterManager::ROSTER_ITEM& withUser, const QString& firstMessage);

    // The partner; the main window finds a partner's window by its user name.
    RosterManager::ROSTER_ITEM GetWithUserChatName() const { return withUser; }

    // The history file of `item`: <data folder>/history/<userName>_<contactID>.history. Empty
    // when the user name cannot name a file (see ChatAddress::IsUsableUserName).
    static QString GetHisotryFileNameForCurrentChat(const RosterManager::ROSTER_ITEM& item);

    // The HTML of one message, its name and text shown as plain text (its text shortened as
    // the view shows it).
    QString GetFormatedMessage(const ChatHistory::HistoryEntry& entry);
    // Adds a fragment as a paragraph at the end of the view and scrolls to it.
    void AppendChatText(const QString& html);
    // Refills the view with the stored messages of the chosen period: the newest at once, the
    // older ones above them in the turns of the event loop that follow.
    void LoadHistory();
    // True while older messages of the period are still to be shown.
    bool IsLoadingHistory() const { return historyReader != nullptr; }

public slots:
    // Every message the chat client receives; only the partner's are stored and shown, with
    // the time they were sent (now when `sentAt` is not valid).
    void OnMessageRecieved(
        const QString& from, const QString& messageText, const QDateTime& sentAt = QDateTime());

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
    void ShowNotice(const QString& text);

    // The font and colours of the preferences, for the messages shown from now on.
    void TakeLook();
    const QTextCharFormat& FormatOf(const ChatHistory::HistoryEntry& entry) const;
    // Shows the next older batch of the period above what is shown.
    void ShowOlderMessages();
    void InsertAtStart(const QList<ChatHistory::HistoryEntry>& entries);
    void AppendMessage(const ChatHistory::HistoryEntry& entry);
    // Writes `entry` as one paragraph at `cursor`: header, text and two empty lines.
    void InsertMessage(QTextCursor& cursor, const ChatHistory::HistoryEntry& entry) const;

    std::unique_ptr<Ui::ChatWindowDialog> ui;
    RosterManager::ROSTER_ITEM me; // the signed-in member, author of sent messages
    RosterManager::ROSTER_ITEM withUser; // the partner
    ChatHistory::HistoryMode historyMode = ChatHistory::HISTORY_TODAY;
    QString historyFileName;
    QPointer<ChatConnection> chatClient;
    QTextCharFormat outgoingFormat; // the member's own messages
    QTextCharFormat incomingFormat; // the partner's
    // The period being shown, while older messages of it are left; the timer shows the next
    // batch once the event loop has had its turn.
    std::unique_ptr<HistoryPeriodReader> historyReader;
    QTimer olderMessagesTimer;
};
