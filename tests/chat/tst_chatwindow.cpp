#include "../DesignFont.h"
#include "ChatClient.h"
#include "ChatConnection.h"
#include "ChatWindowDialog.h"
#include "HistoryRecord.h"
#include "ProsodyServer.h"
#include "ShownText.h"
#include "XdoTool.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QtTest>

namespace {

constexpr int timeout = 10000;

RosterManager::ROSTER_ITEM member(
    int groupID, int contactID, const char* fullName, const char* user)
{
    RosterManager::ROSTER_ITEM item;
    item.groupID = groupID;
    item.contactID = contactID;
    item.fullName = QString::fromUtf8(fullName);
    item.userName = user;
    return item;
}

QPlainTextEdit* input(ChatWindowDialog& window)
{
    return window.findChild<QPlainTextEdit*>("messageText");
}

QString shown(ChatWindowDialog& window)
{
    return window.findChild<QTextEdit*>("chatText")->toPlainText();
}

QList<ChatHistory::HistoryEntry> stored(const RosterManager::ROSTER_ITEM& partner)
{
    return ChatHistory::LoadHistory(ChatWindowDialog::GetHisotryFileNameForCurrentChat(partner),
        ChatHistory::HISTORY_LAST_30_DAYS);
}

// The link targets of the period switcher, by caption.
QMap<QString, QString> periodLinks(ChatWindowDialog& window)
{
    QTextDocument text;
    text.setHtml(window.findChild<QLabel*>("historyModeSwitcher")->text());
    QMap<QString, QString> links;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isAnchor())
                links.insert(it.fragment().text(), it.fragment().charFormat().anchorHref());
        }
    }
    return links;
}

void choosePeriod(ChatWindowDialog& window, const QString& caption)
{
    emit window.findChild<QLabel*>("historyModeSwitcher")
        ->linkActivated(periodLinks(window).value(caption));
}

// Clicks the link of the period switcher as a member does; false when there is no display.
bool clickPeriod(ChatWindowDialog& window, const QString& caption)
{
    const auto* label = window.findChild<QLabel*>("historyModeSwitcher");
    QTextDocument text;
    text.setHtml(label->text());
    const QString line = text.toPlainText();
    const QFontMetrics metrics = label->fontMetrics();
    // The line is centred in the label.
    const int left = (label->width() - metrics.horizontalAdvance(line)) / 2;
    const int at = line.indexOf(caption);
    const QPoint point = label->mapTo(&window,
        QPoint(left + metrics.horizontalAdvance(line.left(at))
                + metrics.horizontalAdvance(caption) / 2,
            label->height() / 2));
    return xdotool({ "mousemove", "--window", QString::number(window.winId()),
        QString::number(point.x()), QString::number(point.y()), "click", "1" });
}

} // namespace

// The chat window: its form, the Return key, what it accepts, how it shows messages, and a
// conversation through a real prosody.
class TestChatWindow : public QObject
{
    Q_OBJECT

private:
    ProsodyServer server { TEST_CA_DIR "/server.pem", TEST_CA_DIR "/server.key" };
    // Made with the test object, after the application: a roster item holds pixmaps.
    const RosterManager::ROSTER_ITEM alice = member(-1, 1, "Alice Archer", "alice");
    const RosterManager::ROSTER_ITEM bob = member(3, 7, "Bob Bäker", "bob");

    // The window's own connection (through the chat module) or a partner's client.
    template<typename Client>
    static bool signIn(Client& client, const QString& jid, const QString& password)
    {
        client.connectToServer(jid, password);
        client.AcceptMessages();
        return QTest::qWaitFor([&client] { return client.isConnected(); }, timeout);
    }

private slots:
    void initTestCase()
    {
        UseDesignFont();
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY2(server.addAccount("alice", "alice-secret"), qPrintable(server.error()));
        QVERIFY2(server.addAccount("bob", "bob-secret"), qPrintable(server.error()));
        qputenv("MOVARELQUINTASH_CHAT_DOMAIN", "localhost");
        qputenv("MOVARELQUINTASH_CHAT_HOST", "127.0.0.1");
        qputenv("MOVARELQUINTASH_CHAT_PORT", QByteArray::number(server.port()));
        qputenv("MOVARELQUINTASH_CA_FILE", TEST_CA_DIR "/ca.pem");
    }

    void init() { QFile::remove(ChatWindowDialog::GetHisotryFileNameForCurrentChat(bob)); }

    void formAndPeriods()
    {
        const QDateTime now = QDateTime::currentDateTime();
        const QString file = ChatWindowDialog::GetHisotryFileNameForCurrentChat(bob);
        for (int daysAgo : { 60, 20, 3, 0 }) {
            QVERIFY(ChatHistory::AppendHistory(file,
                { bob.groupID, bob.contactID, now.addDays(-daysAgo), bob.fullName, "earlier" }));
        }

        ChatWindowDialog window;
        QCOMPARE(window.size(), QSize(630, 470));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QCOMPARE(window.windowTitle(), QString("Dialog"));
        QCOMPARE(window.findChild<QWidget*>("chatText")->geometry(), QRect(0, 80, 631, 221));
        QCOMPARE(input(window)->geometry(), QRect(0, 320, 631, 131));
        QVERIFY(window.testAttribute(Qt::WA_DeleteOnClose));

        QVERIFY(window.showChatWithUser(nullptr, alice, bob, QString()));
        QCOMPARE(window.windowTitle(), QString::fromUtf8("Movarelquintash chat - Bob Bäker"));
        QCOMPARE(input(window)->width(), 630);
        QCOMPARE(shown(window).count("earlier"), 1); // today's, at first

        const struct
        {
            const char* caption;
            QString target;
            int shownMessages;
        } periods[] = {
            { "Last conversation", ChatConstants::lastConversationLink, 0 },
            { "Last 50 messages", ChatConstants::last50messagesLink, 4 },
            { "Last week", ChatConstants::lastWeek, 2 },
            { "Last 30 days", ChatConstants::last30days, 3 },
            { "Today", ChatConstants::todayMessages, 1 },
        };
        QCOMPARE(periodLinks(window).size(), 5);
        for (const auto& period : periods) {
            QCOMPARE(periodLinks(window).value(period.caption), period.target);
            choosePeriod(window, period.caption);
            QVERIFY2(shown(window).count("earlier") == period.shownMessages, period.caption);
        }

        // Messages that come while the view is empty are there when a period is chosen again.
        choosePeriod(window, "Last conversation");
        window.OnMessageRecieved("bob@localhost/QXmpp", "while empty");
        choosePeriod(window, "Today");
        QCOMPARE(shown(window).count("earlier"), 1);
        QCOMPARE(shown(window).count("while empty"), 1);
    }

    void returnKey_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("leftInBox");
        QTest::addColumn<bool>("toldNotSent");

        QTest::newRow("Return in an empty box") << int(Qt::Key_Return) << 0 << ""
                                                << "" << false;
        QTest::newRow("Return offline") << int(Qt::Key_Return) << 0 << "hello"
                                        << "hello" << true;
        QTest::newRow("Shift+Return offline")
            << int(Qt::Key_Return) << int(Qt::ShiftModifier) << "hello"
            << "hello" << true;
        QTest::newRow("keypad Enter breaks the line")
            << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "hello"
            << "hello\n"
            << false;
    }

    // Offline, a message is neither sent, stored nor shown as sent; it waits in the box.
    void returnKey()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, typed);
        QFETCH(QString, leftInBox);
        QFETCH(bool, toldNotSent);

        ChatConnection offline;
        auto* window = new ChatWindowDialog;
        QPointer<ChatWindowDialog> guard(window);
        QVERIFY(window->showChatWithUser(&offline, alice, bob, QString()));
        QTest::keyClicks(input(*window), typed);
        QTest::keyClick(input(*window), Qt::Key(key), Qt::KeyboardModifiers(modifiers));

        QCOMPARE(input(*window)->toPlainText(), leftInBox);
        QCOMPARE(shown(*window).contains("Not sent"), toldNotSent);
        QVERIFY(!shown(*window).contains(alice.fullName));
        QVERIFY(stored(bob).isEmpty());
        window->close();
        QTRY_VERIFY(guard.isNull());
    }

    // Only the partner's messages, whatever the case of the address (servers lower-case it),
    // each stored once and shown as the text it is: no markup, line breaks and characters kept.
    void acceptsOnlyThePartner()
    {
        const QString text = QString::fromUtf8("<b>not bold</b> & café 😀\nsecond line");
        const std::pair<const char*, bool> senders[]
            = { { "bob@localhost/QXmpp", true }, { "BOB@localhost", true },
                  { "bobby@localhost", false }, { "bob", false }, { "localhost", false } };
        for (const auto& [from, accepted] : senders) {
            init();
            ChatWindowDialog window;
            QVERIFY(window.showChatWithUser(nullptr, alice, bob, QString()));
            window.OnMessageRecieved(from, text);
            QVERIFY2(stored(bob).size() == (accepted ? 1 : 0), from);
            QVERIFY2((stored(bob).value(0).message == text) == accepted, from);
            QVERIFY2(shown(window).contains(text) == accepted, from);
        }
    }

    void formatsMessages()
    {
        SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
        settings.chatMessagesFont = { "Arial", 12, true, false, QColor() };
        settings.chatIncomingMessagesColor = QColor("#008000");
        settings.chatOutgoingMessagesColor = QColor("#000080");
        SettingsProvider::instance()->SetCurrentSettings(settings);

        ChatWindowDialog window;
        QVERIFY(window.showChatWithUser(nullptr, alice, bob, QString()));
        const QDateTime at(QDate(2026, 3, 6), QTime(9, 5, 7));
        QCOMPARE(window.GetFormatedMessage({ 3, 7, at, "Team <Member>", "Hi & <i>bye</i>\nthen" }),
            QString("<font face=\"Arial\" color=#008000><b>09:05:07 - 06/03/2026 - "
                    "Team &lt;Member&gt;:<br>Hi &amp; &lt;i&gt;bye&lt;/i&gt;<br>then<br><br>"
                    "</font></b><br>"));
        QVERIFY(window.GetFormatedMessage({ -1, 1, at, "Alice", "Hi" }).contains("color=#000080"));

        // Stored messages take the same colours when read back.
        window.OnMessageRecieved("bob@localhost", "incoming");
        choosePeriod(window, "Today");
        const QString html = window.findChild<QTextEdit*>("chatText")->toHtml();
        QVERIFY(html.contains("color:#008000;"));
        QVERIFY(!html.contains("color:#000080;"));
        SettingsProvider::instance()->SetCurrentSettings(SettingsProvider::SETTINGS());
    }

    void showsEveryMessageBounded_data()
    {
        QTest::addColumn<int>("count"); // messages in the history file, one every ten minutes
        QTest::addColumn<int>("length"); // characters of each, 0 for a short message
        QTest::addColumn<int>("comingLength"); // of the message that comes as the view fills

        QTest::newRow("a month of 4,320 messages") << 4320 << 0 << 0;
        QTest::newRow("as long as is shown") << 3 << ShownText::maxCharacters << 0;
        QTest::newRow("1 MB without spaces") << 1 << (1 << 20) << 0;
        QTest::newRow("ten of them") << 10 << (1 << 20) << 0;
        QTest::newRow("1 MB comes") << 2 << 0 << (1 << 20);
    }

    // "Last 30 days" shows every message of the period in file order, escaped, with its line
    // breaks and characters; each at most ShownText::maxCharacters of it, a long one with its
    // length; the view takes a bounded amount of text at a time; the file keeps everything.
    void showsEveryMessageBounded()
    {
        QFETCH(int, count);
        QFETCH(int, length);
        QFETCH(int, comingLength);

        const auto textOf = [length](int n) {
            return length
                ? QString::number(n) + QString(length - 6, QChar('a' + n % 26)) + "z"
                : QString::fromUtf8("<b>m%1</b> & café 😀\nsecond line").arg(n, 4, 10, QChar('0'));
        };
        const QString file = ChatWindowDialog::GetHisotryFileNameForCurrentChat(bob);
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QFile history(file);
        QVERIFY(history.open(QIODevice::WriteOnly | QIODevice::Truncate));
        history.write(HistoryFileConstants::fileHeader);
        const QDateTime newest = QDateTime::currentDateTime().addSecs(-60);
        for (int n = 0; n < count; ++n) {
            const bool mine = n % 3 == 0;
            history.write(HistoryRecord::Encode({ mine ? alice.groupID : bob.groupID,
                mine ? alice.contactID : bob.contactID, newest.addSecs(-600LL * (count - 1 - n)),
                mine ? alice.fullName : bob.fullName, textOf(n) }));
        }
        history.close();

        ChatWindowDialog window;
        QVERIFY(window.showChatWithUser(nullptr, alice, bob, QString()));
        QTextDocument* view = window.findChild<QTextEdit*>("chatText")->document();
        int largestChange = 0;
        connect(view, &QTextDocument::contentsChange, this,
            [&largestChange](int, int, int added) { largestChange = qMax(largestChange, added); });
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(clickPeriod(window, "Last 30 days"));
        // Taken once the view shows the oldest message, or is on its way there.
        QTRY_VERIFY(window.IsLoadingHistory() || shown(window).contains(textOf(0).left(20)));
        const QString coming = comingLength ? QString(comingLength, 'c') : QString("just now");
        window.OnMessageRecieved("bob@localhost/QXmpp", coming);
        QTRY_VERIFY(!window.IsLoadingHistory());

        QStringList expected;
        for (int n = 0; n < count; ++n)
            expected << ShownText::Of(textOf(n));
        expected << ShownText::Of(coming);
        const QString text = shown(window);
        int at = 0;
        for (const QString& message : expected) {
            at = text.indexOf(":\n" + message + "\n", at);
            QVERIFY2(at >= 0, qPrintable(message.left(40)));
        }
        QCOMPARE(text.count(" - " + bob.fullName + ":"), count - (count + 2) / 3 + 1);
        QVERIFY2(largestChange <= ChatWindowDialog::viewBatchCharacters + 256,
            qPrintable(QString::number(largestChange)));

        const QList<ChatHistory::HistoryEntry> kept = stored(bob);
        QCOMPARE(kept.size(), count + 1);
        QCOMPARE(kept.last().message.size() + kept.last().omitted, coming.size());
    }

    // A user name from the network must not choose where a file is written.
    void refusesUserNamesThatAreNoFileNames()
    {
        const std::pair<QString, bool> names[] = { { "first.last", true }, { "", false },
            { ".", false }, { "..", false }, { "../../.bashrc", false }, { "a\\b", false },
            { QString("a") + QChar(0) + "b", false } };
        for (const auto& [userName, usable] : names) {
            RosterManager::ROSTER_ITEM partner = bob;
            partner.userName = userName;
            QCOMPARE(
                ChatWindowDialog::GetHisotryFileNameForCurrentChat(partner).isEmpty(), !usable);
            ChatWindowDialog window;
            QCOMPARE(window.showChatWithUser(nullptr, alice, partner, QString()), usable);
            QCOMPARE(window.isVisible(), usable);
        }
    }

    // Typed in the window, through prosody to the partner, and the partner's reply back.
    void conversationThroughTheServer()
    {
        ChatConnection aliceClient;
        ChatClient bobClient;
        QVERIFY(signIn(aliceClient, "alice@localhost", "alice-secret"));
        QVERIFY(signIn(bobClient, "bob@localhost", "bob-secret"));
        QSignalSpy bobReceived(&bobClient, &ChatClient::MessageRecived);

        ChatWindowDialog window;
        connect(&aliceClient, &ChatConnection::MessageRecived, &window,
            &ChatWindowDialog::OnMessageRecieved);
        QVERIFY(window.showChatWithUser(&aliceClient, alice, bob, QString()));

        QTest::keyClicks(input(window), "Hi <b>Bob</b>");
        QTest::keyClick(input(window), Qt::Key_Enter, Qt::KeypadModifier);
        // Key clicks carry Latin letters only.
        input(window)->insertPlainText(QString::fromUtf8("ça va?"));
        QTest::keyClick(input(window), Qt::Key_Return, Qt::ShiftModifier);
        const QString sent = QString::fromUtf8("Hi <b>Bob</b>\nça va?");
        QVERIFY(input(window)->toPlainText().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(bobReceived.size(), 1, timeout);
        QCOMPARE(bobReceived.first().at(0).toString(), QString("alice@localhost/QXmpp"));
        QCOMPARE(bobReceived.first().at(1).toString(), sent);

        bobClient.sendMessage("alice@localhost", QString::fromUtf8("Très bien 😀"));
        QTRY_VERIFY_WITH_TIMEOUT(shown(window).contains(QString::fromUtf8("Très bien 😀")), timeout);

        const QList<ChatHistory::HistoryEntry> history = stored(bob);
        QCOMPARE(history.size(), 2);
        QCOMPARE(history.at(0).message, sent);
        QCOMPARE(history.at(0).contactID, alice.contactID);
        QCOMPARE(history.at(1).message, QString::fromUtf8("Très bien 😀"));
        QCOMPARE(history.at(1).contactID, bob.contactID);

        for (const char* period : { "Last week", "Today" }) {
            choosePeriod(window, period);
            QCOMPARE(shown(window).count(sent), 1);
            QCOMPARE(shown(window).count(QString::fromUtf8("Très bien 😀")), 1);
        }
    }
};

QTEST_MAIN(TestChatWindow)
#include "tst_chatwindow.moc"
