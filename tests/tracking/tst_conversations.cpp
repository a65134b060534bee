#include "SignedInWindow.h"

#include "ChatClient.h"
#include "ChatWindowDialog.h"
#include "ProsodyServer.h"

#include <QTextEdit>
#include <QXmppPingIq.h>

using namespace TrackingFixture;

namespace {

QList<ChatWindowDialog*> OpenConversations()
{
    QList<ChatWindowDialog*> open;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        auto* chat = qobject_cast<ChatWindowDialog*>(window);
        if (chat && chat->isVisible())
            open << chat;
    }
    return open;
}

void CloseConversations()
{
    for (ChatWindowDialog* chat : OpenConversations())
        chat->close();
    QTest::qWait(0); // the closed windows go
}

} // namespace

// Conversations opened from the main window's roster and the routing of incoming messages:
// each message is stored once whatever the state of its partner's window. The service is the
// fake one; messages are handed to the chat client's signal as the server would deliver them,
// and, for the messages that come before the roster, sent through a prosody of the test's own.
class TestConversations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        for (const char* account : { "demo", "anna.k", "stranger" })
            QVERIFY(m_server.addAccount(account, QString(account) + "123"));
        qputenv("MOVARELQUINTASH_CHAT_HOST", "127.0.0.1");
        qputenv("MOVARELQUINTASH_CHAT_PORT", QByteArray::number(m_server.port()));
        qputenv("MOVARELQUINTASH_CA_FILE", TEST_CA_DIR "/ca.pem");
        qputenv("MOVARELQUINTASH_CHAT_DOMAIN", "localhost");
        QVERIFY(m_service.Start({ "--update-version", "" }));
        m_service.PointClientsHere();
        ResetSettings();
        m_s = std::make_unique<SignedInWindow>();
        m_desktop.Install(*m_s->window);
        QVERIFY(m_s->SignIn());
        QVERIFY(m_s->Refresh());
        m_anna = m_s->Member(11, 1002);
        m_chat = &m_s->window->Chat();
    }

    void cleanup()
    {
        CloseConversations();
        QFile::remove(ChatWindowDialog::GetHisotryFileNameForCurrentChat(m_anna));
        m_desktop.trayNotices.clear();
    }

    void opensOneConversationPerPartner()
    {
        m_s->list->setCurrentItem(m_s->list->item(0)); // a team row
        m_s->window->StartConversation();
        QVERIFY(OpenConversations().isEmpty());

        LogReader log;
        m_s->list->setCurrentItem(m_s->Row(11, 1002));
        m_s->window->StartConversation();
        QCOMPARE(OpenConversations().size(), 1);
        ChatWindowDialog* window = OpenConversations().first();
        QCOMPARE(window->objectName(), QString("ChatDialog"));
        QCOMPARE(window->GetWithUserChatName().userName, QString("anna.k"));
        QCOMPARE(window->windowTitle(), "Movarelquintash chat - " + m_anna.fullName);
        QVERIFY(log.HasInOrder({ "Show chat with user", "Chat was showed" }));

        // Anna's row in another team, the item form, a minimised window: still the one window.
        window->showMinimized();
        m_s->list->setCurrentItem(m_s->Row(12, 1002));
        m_s->window->StartConversation();
        QVERIFY(!window->isMinimized());
        m_s->window->StartConversation(m_anna, QString());
        QCOMPARE(OpenConversations(), QList<ChatWindowDialog*>({ window }));
    }

    void routesEveryMessageOnce_data()
    {
        QTest::addColumn<QString>("window"); // none, open, minimised or closed
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("notice"); // empty: none

        const QString anna = "anna.k@localhost/QXmpp";
        QTest::newRow("no window") << "none" << anna << 1 << "New message from: Anna Kovalenko";
        QTest::newRow("open window") << "open" << anna << 1 << "";
        QTest::newRow("minimised window")
            << "minimised" << anna << 1 << "New message from Anna Kovalenko";
        QTest::newRow("closed window")
            << "closed" << anna << 1 << "New message from: Anna Kovalenko";
        QTest::newRow("upper case, open window") << "open"
                                                 << "Anna.K@localhost" << 1 << "";
        QTest::newRow("upper case, no window")
            << "none"
            << "ANNA.K@localhost" << 1 << "New message from: Anna Kovalenko";
        QTest::newRow("broadcast") << "open"
                                   << "localhost" << 0 << "Broadcast message:";
        QTest::newRow("not in the roster")
            << "none"
            << "stranger@localhost" << 0 << "New message from: stranger";
    }

    void routesEveryMessageOnce()
    {
        QFETCH(QString, window);
        QFETCH(QString, from);
        QFETCH(int, stored);
        QFETCH(QString, notice);

        if (window != "none") {
            m_s->window->StartConversation(m_anna, QString());
            ChatWindowDialog* open = OpenConversations().value(0);
            QVERIFY(open);
            if (window == "minimised")
                open->showMinimized();
            if (window == "closed")
                open->close(); // deleted only later: the message comes in between
        }
        const QString text = "<i>see</i> & reply";
        emit m_chat->MessageRecived(from, text);

        const QList<ChatHistory::HistoryEntry> history = ChatHistory::LoadHistory(
            ChatWindowDialog::GetHisotryFileNameForCurrentChat(m_anna), ChatHistory::HISTORY_TODAY);
        QCOMPARE(history.size(), stored);
        if (stored) {
            QCOMPARE(history.first().message, text);
            QCOMPARE(history.first().contactID, 1002);
            QCOMPARE(history.first().groupID, 11);
        }
        QCOMPARE(m_desktop.trayNotices.size(), notice.isEmpty() ? 0 : 1);
        if (!notice.isEmpty()) {
            QVERIFY2(m_desktop.trayNotices.first().first.startsWith(notice),
                qPrintable(m_desktop.trayNotices.first().first));
            QCOMPARE(m_desktop.trayNotices.first().second, text);
        }
        if (window == "open" || window == "minimised") {
            const QString shown
                = OpenConversations().first()->findChild<QTextEdit*>("chatText")->toPlainText();
            QCOMPARE(shown.count(text), stored);
        }
    }

    void signingOutClosesTheConversations()
    {
        m_s->window->StartConversation(m_anna, QString());
        QCOMPARE(OpenConversations().size(), 1);
        m_s->window->SignOut();
        QVERIFY(OpenConversations().isEmpty());
        m_s->window->findChild<MiscFunctions*>()->GetAuthDialog().hide();
    }

    void waitsForTheRoster_data()
    {
        QTest::addColumn<bool>("whileSignedOut"); // sent before the member signs in
        QTest::addColumn<bool>("rosterLate"); // sent after a sign-in whose first roster failed
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<bool>("signOut"); // the member signs out before a roster, then in again
        QTest::addColumn<int>("sent"); // copies of the message
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("notices"); // that show it
        QTest::addColumn<QString>("notice"); // the title of one of them
        QTest::addColumn<QString>("logged"); // the activity log's word on it

        const QString member = "demo@localhost";
        const QString session = "demo@localhost/QXmpp";
        const QString fromAnna = "New message from: Anna Kovalenko";
        QTest::newRow("sent while signed out")
            << true << false << member << "anna.k" << false << 1 << 1 << 1 << fromAnna << "";
        QTest::newRow("to the member before the roster")
            << false << true << member << "anna.k" << false << 1 << 1 << 1 << fromAnna << "";
        QTest::newRow("to the session before the roster")
            << false << true << session << "anna.k" << false << 1 << 1 << 1 << fromAnna << "";
        QTest::newRow("from a stranger before the roster")
            << false << true << session << "stranger" << false << 1 << 0 << 1
            << "New message from: stranger"
            << "";
        const int most = WaitingMessages::maxMessages;
        QTest::newRow("more than may wait")
            << false << true << session << "anna.k" << false << most + 1 << most << most + 1
            << "New message from: anna.k"
            << "not stored: too many messages wait for the roster";
        QTest::newRow("to the member, signed out before the roster")
            << false << true << member << "anna.k" << true << 1 << 1 << 1 << fromAnna << "";
        QTest::newRow("to the session, signed out before the roster")
            << false << true << session << "anna.k" << true << 1 << 0 << 0 << ""
            << "not stored: signed out before the roster came";
    }

    // A message that comes before the first roster of a sign-in waits for it, then is routed
    // and stored as any other, with the time it was sent. What the server keeps outlives a
    // sign-out; what the client had is noted in the activity log, never shown to the next one.
    void waitsForTheRoster()
    {
        QFETCH(bool, whileSignedOut);
        QFETCH(bool, rosterLate);
        QFETCH(QString, to);
        QFETCH(QString, sender);
        QFETCH(bool, signOut);
        QFETCH(int, sent);
        QFETCH(int, stored);
        QFETCH(int, notices);
        QFETCH(QString, notice);
        QFETCH(QString, logged);

        if (m_s->window->isVisible())
            SignOut();
        ChatClient& partner = Partner(sender);
        const QString text = QString("%1, %2").arg(QTest::currentDataTag(), "<i>&</i>");
        const QDateTime sentFrom
            = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch());
        qint64 keptBy = 0;
        const auto send = [&] {
            for (int copy = 0; copy < sent; ++copy)
                partner.sendMessage(to, text);
            return ServerHasHandled(partner);
        };
        if (whileSignedOut) {
            QVERIFY(send());
            keptBy = QDateTime::currentSecsSinceEpoch();
            QTRY_VERIFY(QDateTime::currentSecsSinceEpoch() > keptBy);
        }
        if (rosterLate)
            QVERIFY(m_service.Control(
                "fail", { { "mode", "http500" }, { "path", "/k4p/teams/list:var" } }));
        LogReader log;
        const qint64 signedInFrom = QDateTime::currentSecsSinceEpoch();
        QVERIFY(BeginSignIn());
        ChatConnection& chat = m_s->window->Chat();
        QTRY_VERIFY_WITH_TIMEOUT(chat.isConnected(), 10000);
        if (rosterLate) {
            QVERIFY(m_s->WaitForFailure(RestAPI::GetTeamsState));
            QVERIFY(send());
            if (to.contains('/'))
                QTRY_COMPARE(log.Lines().count("New message from chat"), sent);
            QVERIFY(AnnasMessages().isEmpty());
            // Only what no longer fits the queue shows before the roster.
            QCOMPARE(m_desktop.trayNotices.size(), qMax(0, sent - WaitingMessages::maxMessages));
            QVERIFY(m_service.Control("reset"));
            if (signOut) {
                SignOut();
                QVERIFY(BeginSignIn());
            } else {
                m_s->window->RestTimer();
            }
        }
        QVERIFY(m_s->WaitForAnswer(RestAPI::AllTeamsLoaded));

        // Everything before it is routed once anna's next message is stored.
        m_annaChat.sendMessage("demo@localhost", "barrier");
        QTRY_VERIFY_WITH_TIMEOUT(AnnasMessages().contains("barrier"), 10000);
        QCOMPARE(AnnasMessages().count(text), stored);
        if (whileSignedOut) {
            const QDateTime sentAt = AnnasHistory().first().dateTime;
            QVERIFY2(sentAt >= sentFrom && sentAt.toSecsSinceEpoch() <= keptBy
                    && sentAt.toSecsSinceEpoch() < signedInFrom,
                qPrintable(sentAt.toString(Qt::ISODate)));
        }
        int shown = 0; // notices that show the message, whatever their title
        for (const auto& shownNotice : qAsConst(m_desktop.trayNotices))
            shown += shownNotice.second == text;
        QCOMPARE(shown, notices);
        QVERIFY(notice.isEmpty() || m_desktop.trayNotices.contains({ notice, text }));
        QVERIFY(logged.isEmpty()
            || log.Lines().contains("Chat message from " + sender + "@localhost/QXmpp " + logged));
    }

    void cleanupTestCase() { m_s.reset(); }

private:
    // The partner's own client, signed in.
    ChatClient& Partner(const QString& user)
    {
        ChatClient& client = user == "anna.k" ? m_annaChat : m_strangerChat;
        if (!client.isConnected()) {
            QSignalSpy connected(&client, &QXmppClient::connected);
            client.connectToServer(user + "@localhost", user + "123");
            client.AcceptMessages();
            connected.wait(10000);
        }
        return client;
    }

    // True once the server has answered a ping sent after everything `client` sent before.
    static bool ServerHasHandled(ChatClient& client)
    {
        QXmppPingIq ping;
        ping.setTo("localhost");
        bool answered = false;
        const QMetaObject::Connection watch = connect(&client, &QXmppClient::iqReceived,
            [&](const QXmppIq& iq) { answered = answered || iq.id() == ping.id(); });
        const bool sent
            = client.sendPacket(ping) && QTest::qWaitFor([&] { return answered; }, 10000);
        disconnect(watch);
        return sent;
    }

    // The sign-in dialog's end: the window completes the sign-in, connecting the chat.
    bool BeginSignIn()
    {
        if (!TrackingFixture::SignInClients(*m_s->window))
            return false;
        RestAPI::SecurityUserInfo info = m_s->rest->GetCurrentUserInfo();
        info.password = "demo123";
        m_s->answers.clear();
        m_s->failures.clear();
        m_desktop.trayNotices.clear();
        QFile::remove(ChatWindowDialog::GetHisotryFileNameForCurrentChat(m_anna));
        emit m_s->window->findChild<MiscFunctions*>()->GetAuthDialog().OnAuthComplete("demo", info);
        return true;
    }

    // As a member signs out, the chat session ends before anyone can sign in again.
    void SignOut()
    {
        QSignalSpy ended(&m_s->window->Chat(), &ChatConnection::OnConnectionStateChange);
        m_s->window->SignOut();
        m_s->window->findChild<MiscFunctions*>()->GetAuthDialog().hide();
        QVERIFY(!ended.isEmpty() || ended.wait(10000));
    }

    QList<ChatHistory::HistoryEntry> AnnasHistory() const
    {
        return ChatHistory::LoadHistory(
            ChatWindowDialog::GetHisotryFileNameForCurrentChat(m_anna), ChatHistory::HISTORY_TODAY);
    }

    QStringList AnnasMessages() const
    {
        QStringList messages;
        const QList<ChatHistory::HistoryEntry> history = AnnasHistory();
        for (const ChatHistory::HistoryEntry& entry : history)
            messages << entry.message;
        return messages;
    }

    ProsodyServer m_server { TEST_CA_DIR "/server.pem", TEST_CA_DIR "/server.key" };
    ChatClient m_annaChat;
    ChatClient m_strangerChat;
    FakeServiceProcess m_service;
    std::unique_ptr<SignedInWindow> m_s;
    FakeDesktop m_desktop;
    RosterManager::ROSTER_ITEM m_anna;
    ChatConnection* m_chat = nullptr;
};

QTEST_MAIN(TestConversations)
#include "tst_conversations.moc"
