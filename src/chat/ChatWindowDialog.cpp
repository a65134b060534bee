#include "ChatWindowDialog.h"

#include "AppInfo.h"
#include "ChatAddress.h"
#include "ChatConnection.h"
#include "DialogPlacement.h"
#include "FormFit.h"
#include "HistoryPeriodReader.h"
#include "LogCategories.h"
#include "ShownText.h"
#include "WindowSystem.h"
#include "ui_ChatWindowDialog.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

#include <utility>

namespace {

// Plain text as HTML: markup characters escaped, line breaks kept.
QString asHtml(const QString& text)
{
    QString html = text.toHtmlEscaped();
    html.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    return html;
}

// Plain text as lines of one paragraph: every kind of line or paragraph break becomes a line
// separator, and the characters by which a document marks its frames are not taken as such.
QString asLinesOfOneParagraph(QString text)
{
    text.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
    for (QChar& c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::ParagraphSeparator)
            c = QChar::LineSeparator;
        else if (c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1)
            c = QChar::ReplacementCharacter;
    }
    return text;
}

} // namespace

ChatWindowDialog::ChatWindowDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::ChatWindowDialog>())
{
    ui->setupUi(this);
    FormFit::Fit(this);
    setAttribute(Qt::WA_DeleteOnClose);
    ui->messageText->installEventFilter(this);
    WindowSystem::SetWindowTitleDialogStyle(this, false);
    // A view only: an undo history would keep a copy of everything ever shown.
    ui->chatText->setUndoRedoEnabled(false);
    olderMessagesTimer.setSingleShot(true);
    olderMessagesTimer.setInterval(0);
    connect(&olderMessagesTimer, &QTimer::timeout, this, &ChatWindowDialog::ShowOlderMessages);
    connect(ui->chatText, &QTextEdit::textChanged, this, &ChatWindowDialog::MoveDown);
    connect(ui->historyModeSwitcher, &QLabel::linkActivated, this,
        &ChatWindowDialog::on_historyModeSwitcher_linkActivated);
}

ChatWindowDialog::~ChatWindowDialog() = default;

bool ChatWindowDialog::showChatWithUser(ChatConnection* client, const RosterManager::ROSTER_ITEM& me,
    const RosterManager::ROSTER_ITEM& withUser, const QString& firstMessage)
{
    Q_UNUSED(firstMessage)
    if (!ChatAddress::IsUsableUserName(withUser.userName)) {
        qCWarning(chatWindowLog) << "No conversation with a user name that cannot name a file:"
                                 << withUser.userName;
        return false;
    }
    this->me = me;
    this->withUser = withUser;
    historyFileName = GetHisotryFileNameForCurrentChat(withUser);
    chatClient = client;
    setWindowTitle(tr("Movarelquintash chat - ") + withUser.fullName);
    show();
    // The member types at once: the new window takes the keyboard.
    activateWindow();
    ui->messageText->setFocus();
    return true;
}

QString ChatWindowDialog::GetHisotryFileNameForCurrentChat(const RosterManager::ROSTER_ITEM& item)
{
    if (!ChatAddress::IsUsableUserName(item.userName))
        return {};
    return AppInfo::dataFolder() + QStringLiteral("/history/") + item.userName + QLatin1Char('_')
        + QString::number(item.contactID) + QStringLiteral(".history");
}

QString ChatWindowDialog::GetFormatedMessage(const ChatHistory::HistoryEntry& entry)
{
    const SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    const SettingsProvider::FONT_BLOCK& block = settings.chatMessagesFont;
    const QFont font(
        block.name, block.size, block.bold ? QFont::Bold : QFont::Normal, block.italic);
    ui->chatText->setFont(font);
    const QColor colour = entry.contactID == me.contactID ? settings.chatOutgoingMessagesColor
                                                          : settings.chatIncomingMessagesColor;

    const bool bold = font.weight() > QFont::Normal;
    QString html = QStringLiteral("<font face=\"%1\" color=%2>")
                       .arg(font.family().toHtmlEscaped(), colour.name());
    if (bold)
        html += QLatin1String("<b>");
    if (font.italic())
        html += QLatin1String("<i>");
    html += entry.dateTime.toString(QStringLiteral("hh:mm:ss - dd/MM/yyyy - "))
        + asHtml(entry.fullName) + QLatin1String(":<br>")
        + asHtml(ShownText::Of(entry.message, entry.omitted)) + QLatin1String("<br><br></font>");
    if (bold)
        html += QLatin1String("</b>");
    if (font.italic())
        html += QLatin1String("</i>");
    return html + QLatin1String("<br>");
}

void ChatWindowDialog::AppendChatText(const QString& html)
{
    // At the end whatever the member has clicked or selected in the view, which keeps the
    // selection.
    QTextCursor end(ui->chatText->document());
    end.movePosition(QTextCursor::End);
    end.beginEditBlock();
    if (!ui->chatText->document()->isEmpty())
        end.insertBlock();
    end.insertHtml(html);
    end.endEditBlock();
    MoveDown();
}

void ChatWindowDialog::LoadHistory()
{
    olderMessagesTimer.stop();
    historyReader.reset();
    ui->chatText->clear();
    if (historyMode == ChatHistory::HISTORY_LAST_CONVERSATION)
        return;
    TakeLook();
    historyReader
        = std::make_unique<HistoryPeriodReader>(historyFileName, historyMode, QDate::currentDate());
    ShowOlderMessages();
}

void ChatWindowDialog::ShowOlderMessages()
{
    if (!historyReader)
        return;
    InsertAtStart(historyReader->Older(viewBatchCharacters));
    if (historyReader->AtEnd())
        historyReader.reset();
    else
        olderMessagesTimer.start();
}

void ChatWindowDialog::TakeLook()
{
    const SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    const SettingsProvider::FONT_BLOCK& block = settings.chatMessagesFont;
    const QFont font(
        block.name, block.size, block.bold ? QFont::Bold : QFont::Normal, block.italic);
    ui->chatText->setFont(font);
    outgoingFormat = QTextCharFormat();
    outgoingFormat.setFont(font);
    incomingFormat = outgoingFormat;
    outgoingFormat.setForeground(settings.chatOutgoingMessagesColor);
    incomingFormat.setForeground(settings.chatIncomingMessagesColor);
}

const QTextCharFormat& ChatWindowDialog::FormatOf(const ChatHistory::HistoryEntry& entry) const
{
    return entry.contactID == me.contactID ? outgoingFormat : incomingFormat;
}

void ChatWindowDialog::InsertAtStart(const QList<ChatHistory::HistoryEntry>& entries)
{
    if (entries.isEmpty())
        return;
    QTextDocument* document = ui->chatText->document();
    const bool empty = document->isEmpty();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    for (int i = 0; i < entries.size(); ++i) {
        if (empty && i > 0)
            cursor.insertBlock();
        InsertMessage(cursor, entries.at(i));
        // Written before the first paragraph shown, then parted from it.
        if (!empty)
            cursor.insertBlock();
    }
    cursor.endEditBlock();
}

void ChatWindowDialog::AppendMessage(const ChatHistory::HistoryEntry& entry)
{
    TakeLook();
    QTextCursor end(ui->chatText->document());
    end.movePosition(QTextCursor::End);
    end.beginEditBlock();
    if (!ui->chatText->document()->isEmpty())
        end.insertBlock();
    InsertMessage(end, entry);
    end.endEditBlock();
    MoveDown();
}

void ChatWindowDialog::InsertMessage(
    QTextCursor& cursor, const ChatHistory::HistoryEntry& entry) const
{
    const QChar line = QChar::LineSeparator;
    // One paragraph per message: a new one costs the layout of itself alone.
    cursor.insertText(entry.dateTime.toString(QStringLiteral("hh:mm:ss - dd/MM/yyyy - "))
            + asLinesOfOneParagraph(entry.fullName) + QLatin1Char(':') + line
            + asLinesOfOneParagraph(ShownText::Of(entry.message, entry.omitted)) + line + line,
        FormatOf(entry));
}

void ChatWindowDialog::OnMessageRecieved(
    const QString& from, const QString& messageText, const QDateTime& sentAt)
{
    // A closed window lingers hidden until it is deleted; the main window stores for it.
    if (isHidden() || !ChatAddress::IsFrom(from, withUser.userName))
        return;
    StoreAndShow(ChatHistory::HistoryEntry(withUser.groupID, withUser.contactID,
        sentAt.isValid() ? sentAt : QDateTime::currentDateTime(), withUser.fullName, messageText));
}

bool ChatWindowDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->messageText && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return) {
        // Return never breaks the line, with or without Shift; keypad Enter does.
        SendTypedMessage();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ChatWindowDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    ui->messageText->resize(width(), ui->messageText->height());
    event->accept();
}

void ChatWindowDialog::showEvent(QShowEvent* event)
{
    LoadHistory();
    DialogPlacement::CenterOnDesktop(this);
    QDialog::showEvent(event);
    event->accept();
}

void ChatWindowDialog::on_historyModeSwitcher_linkActivated(const QString& link)
{
    static const std::pair<QString, ChatHistory::HistoryMode> modes[] = {
        { ChatConstants::lastConversationLink, ChatHistory::HISTORY_LAST_CONVERSATION },
        { ChatConstants::last50messagesLink, ChatHistory::HISTORY_LAST_50_MESSAGES },
        { ChatConstants::todayMessages, ChatHistory::HISTORY_TODAY },
        { ChatConstants::lastWeek, ChatHistory::HISTORY_LAST_WEEK },
        { ChatConstants::last30days, ChatHistory::HISTORY_LAST_30_DAYS },
    };
    for (const auto& mode : modes) {
        if (link == mode.first)
            historyMode = mode.second;
    }
    LoadHistory();
    MoveDown();
}

void ChatWindowDialog::MoveDown()
{
    QScrollBar* bar = ui->chatText->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void ChatWindowDialog::SendTypedMessage()
{
    const QString text = ui->messageText->toPlainText();
    if (text.isEmpty())
        return;
    if (!SendToPartner(text)) {
        // Kept in the box, so the member can send it again once the chat is back.
        ShowNotice(tr("Not sent: there is no connection to the chat server. "
                      "The message is still in the box below."));
        return;
    }
    StoreAndShow(ChatHistory::HistoryEntry(
        me.groupID, me.contactID, QDateTime::currentDateTime(), me.fullName, text));
    ui->messageText->clear();
    MoveDown();
}

bool ChatWindowDialog::SendToPartner(const QString& text)
{
    if (!chatClient || !chatClient->isConnected())
        return false;
    if (chatClient->SendTo(withUser.userName, text))
        return true;
    qCWarning(chatWindowLog) << "Sending to" << withUser.userName << "failed";
    return false;
}

void ChatWindowDialog::StoreAndShow(const ChatHistory::HistoryEntry& entry)
{
    ChatHistory::AppendHistory(historyFileName, entry);
    // Shown after every message of the period, however many are still to come above.
    AppendMessage(entry);
}

void ChatWindowDialog::ShowNotice(const QString& text)
{
    AppendChatText(QStringLiteral("<font color=#c00000><i>%1</i></font><br>").arg(asHtml(text)));
}
