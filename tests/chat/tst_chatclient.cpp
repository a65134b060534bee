#include "ChatClient.h"
#include "ChatConnection.h"
#include "ProsodyServer.h"
#include "XmppChatSession.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QXmppConfiguration.h>
#include <QXmppMessage.h>
#include <QtTest>

namespace {
constexpr int timeout = 10000;
const QString alice = QStringLiteral("alice@localhost");
const QString bob = QStringLiteral("bob@localhost");
const QString alicePassword = QStringLiteral("alice-secret");
const QString bobPassword = QStringLiteral("bob-secret");

// What a session does in sessionRunsOnAThreadOfItsOwn.
enum class SessionFlow
{
    SendsOnceUp,
    SignsOutAndInAtOnce,
    EndsWhileConnecting
};

// A session's callbacks as they come, and whether any came off the GUI thread or after the end.
struct SessionRecord
{
    QStringList states;
    QStringList texts;
    int failures = 0;
    bool offGuiThread = false;
    bool afterEnd = false;
    bool ended = false;
    QThread* const guiThread = QThread::currentThread();

    ChatSession::Events Events()
    {
        const auto note = [this] {
            offGuiThread |= QThread::currentThread() != guiThread;
            afterEnd |= ended;
        };
        return { [this, note](bool connected) {
                    note();
                    states << (connected ? "up" : "down");
                },
            [this, note](const QString& from, const QString& text, const QDateTime&) {
                note();
                if (from.startsWith(bob) && text.startsWith("in order"))
                    texts << text;
            },
            [this, note] {
                note();
                ++failures;
            } };
    }
};
} // namespace

Q_DECLARE_METATYPE(SessionFlow)

// The chat client against a real prosody on the loopback interface.
class TestChatClient : public QObject
{
    Q_OBJECT

private:
    ProsodyServer server { TEST_CA_DIR "/server.pem", TEST_CA_DIR "/server.key" };

    static void useServer(quint16 port)
    {
        qputenv("MOVARELQUINTASH_CHAT_PORT", QByteArray::number(port));
    }

    static bool signIn(ChatClient& client, const QString& jid, const QString& password)
    {
        QSignalSpy connected(&client, &QXmppClient::connected);
        client.connectToServer(jid, password);
        client.AcceptMessages();
        return connected.wait(timeout) || client.isConnected();
    }

    static bool wasEverConnected(const QSignalSpy& stateChanges)
    {
        for (const QList<QVariant>& change : stateChanges) {
            if (change.first().toBool())
                return true;
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY2(server.addAccount("alice", alicePassword), qPrintable(server.error()));
        QVERIFY2(server.addAccount("bob", bobPassword), qPrintable(server.error()));
        qputenv("MOVARELQUINTASH_CHAT_DOMAIN", "localhost");
        qputenv("MOVARELQUINTASH_CHAT_HOST", "127.0.0.1");
        qputenv("MOVARELQUINTASH_CA_FILE", TEST_CA_DIR "/ca.pem");
    }

    void init() { useServer(server.port()); }

    void connectsOnlyWithTheRightPassword()
    {
        ChatClient client;
        QSignalSpy state(&client, &ChatClient::OnConnectionStateChange);
        QSignalSpy errors(&client, &ChatClient::CatchXmppError);

        client.connectToServer(alice, "wrong");
        QTRY_VERIFY_WITH_TIMEOUT(!errors.isEmpty(), timeout);
        QTRY_VERIFY_WITH_TIMEOUT(client.state() == QXmppClient::DisconnectedState, timeout);
        QVERIFY(!wasEverConnected(state));

        QVERIFY(signIn(client, alice, alicePassword));
        QCOMPARE(state.last().first().toBool(), true);
        // The chat window addresses partners at the domain it finds here.
        QCOMPARE(client.configuration().domain(), QString("localhost"));
        QCOMPARE(client.configuration().port(), int(server.port()));
        client.disconnectFromServer();
        QTRY_COMPARE_WITH_TIMEOUT(state.last().first().toBool(), false, timeout);
    }

    void deliversMessagesWithTheirSender()
    {
        ChatClient sender;
        ChatClient receiver;
        QVERIFY(signIn(sender, alice, alicePassword));
        QVERIFY(signIn(receiver, bob, bobPassword));
        QSignalSpy received(&receiver, &ChatClient::MessageRecived);

        const QString text = QStringLiteral("Hello Bob – привет 😀\nsecond line");
        sender.sendMessage(bob, text);
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, timeout);
        QCOMPARE(received.first().at(0).toString(), alice + "/QXmpp");
        QCOMPARE(received.first().at(1).toString(), text);
    }

    void relaysOnlyMessagesWithText()
    {
        ChatClient sender;
        ChatClient receiver;
        QVERIFY(signIn(sender, alice, alicePassword));
        QVERIFY(signIn(receiver, bob, bobPassword));
        QSignalSpy received(&receiver, &ChatClient::MessageRecived);

        QXmppMessage typing({}, bob);
        typing.setState(QXmppMessage::Composing);
        QVERIFY(sender.sendPacket(typing));
        // Stanzas from one sender arrive in order: once this is in, the notice has been handled.
        sender.sendMessage(bob, "after the notice");
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, timeout);
        QCOMPARE(received.first().at(1).toString(), QString("after the notice"));

        QXmppMessage bounce(bob, alice + "/QXmpp", "your message could not be delivered");
        bounce.setType(QXmppMessage::Error);
        receiver.OnMessageRecieved(bounce);
        QCOMPARE(received.size(), 1);
    }

    // The client's connection makes its session in the chat module, loaded at the first
    // connection: signed in through it, a message comes in with its sender and one goes out to a
    // user name at the chat domain. Without the module nothing connects, nothing is sent, and
    // the terminal is told once.
    void connectsThroughTheModule_data()
    {
        QTest::addColumn<bool>("moduleThere");
        QTest::newRow("module built") << true;
        QTest::newRow("module missing") << false;
    }

    void connectsThroughTheModule()
    {
        QFETCH(bool, moduleThere);
        if (!moduleThere)
            ChatConnection::UseModuleAt(QDir::temp().filePath("no-such-folder/chat-connection.so"));
        const auto restore = qScopeGuard([] { ChatConnection::UseModuleAt(CHAT_MODULE_PATH); });
        ChatConnection connection;
        ChatClient partner;
        QVERIFY(signIn(partner, bob, bobPassword));
        QSignalSpy received(&connection, &ChatConnection::MessageRecived);
        QSignalSpy partnerReceived(&partner, &ChatClient::MessageRecived);
        if (!moduleThere) {
            static QStringList said;
            said.clear();
            const QtMessageHandler previous = qInstallMessageHandler(
                [](QtMsgType, const QMessageLogContext&, const QString& text) { said << text; });
            connection.connectToServer(alice, alicePassword);
            connection.connectToServer(alice, alicePassword);
            qInstallMessageHandler(previous);
            QCOMPARE(said.size(), 1);
            QVERIFY2(said.first().startsWith("Chat is off: its module cannot be loaded"),
                qPrintable(said.first()));
            QVERIFY(!connection.Client());
            QVERIFY(!connection.SendTo("bob", "lost"));
            partner.sendMessage(alice, "unheard");
            QTest::qWait(200);
            QVERIFY(!connection.isConnected());
            QVERIFY(received.isEmpty() && partnerReceived.isEmpty());
            connection.disconnectFromServer();
            return;
        }
        connection.connectToServer(alice, alicePassword);
        connection.AcceptMessages();
        QTRY_VERIFY_WITH_TIMEOUT(connection.isConnected(), timeout);
        QVERIFY(qobject_cast<QXmppClient*>(connection.Client()));

        partner.sendMessage(alice, "to alice");
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, timeout);
        QCOMPARE(received.first().at(0).toString(), bob + "/QXmpp");
        QCOMPARE(received.first().at(1).toString(), QString("to alice"));
        QVERIFY(connection.SendTo("bob", "to bob"));
        QTRY_COMPARE_WITH_TIMEOUT(partnerReceived.size(), 1, timeout);
        QCOMPARE(partnerReceived.first().at(0).toString(), alice + "/QXmpp");

        QSignalSpy state(&connection, &ChatConnection::OnConnectionStateChange);
        connection.disconnectFromServer();
        QTRY_VERIFY_WITH_TIMEOUT(!state.isEmpty() && !state.last().first().toBool(), timeout);
        QVERIFY(!connection.SendTo("bob", "after the session"));
    }

    // The session runs its client on a thread of its own, named "chat", and calls back on the
    // GUI thread in the order the client spoke: what it sends the moment it is up goes out, what
    // comes in is heard in order; signed out and in again at once, it chats again; ended while its
    // connection try is in flight (to a server that never answers), it ends at once and says
    // nothing more.
    void sessionRunsOnAThreadOfItsOwn_data()
    {
        QTest::addColumn<SessionFlow>("flow");
        QTest::newRow("sends once up") << SessionFlow::SendsOnceUp;
        QTest::newRow("signs out and in at once") << SessionFlow::SignsOutAndInAtOnce;
        QTest::newRow("ends while connecting") << SessionFlow::EndsWhileConnecting;
    }

    void sessionRunsOnAThreadOfItsOwn()
    {
        QFETCH(SessionFlow, flow);
        SessionRecord record;
        std::unique_ptr<ChatSession> session;
        QList<bool> sentOnceUp;
        ChatSession::Events events = record.Events();
        events.connectionChanged = [&, relay = events.connectionChanged](bool connected) {
            relay(connected);
            if (connected && flow == SessionFlow::SendsOnceUp && sentOnceUp.isEmpty())
                sentOnceUp << session->IsConnected() << session->SendTo("bob", "first")
                           << session->SendTo("bob", "second");
        };
        session.reset(MakeXmppChatSession(events));
        QThread* chatThread = session->Client()->thread();
        QVERIFY(chatThread != QThread::currentThread());
        QCOMPARE(chatThread->objectName(), QString("chat"));
        QVERIFY(qobject_cast<QXmppClient*>(session->Client()));

        if (flow == SessionFlow::EndsWhileConnecting) {
            QTcpServer silent;
            QVERIFY(silent.listen(QHostAddress::LocalHost));
            useServer(silent.serverPort());
            session->ConnectToServer(alice, alicePassword);
            QVERIFY(silent.waitForNewConnection(timeout));
            // The try's failure reaches the chat thread as the session goes.
            silent.nextPendingConnection()->abort();
        } else {
            ChatClient partner;
            QVERIFY(signIn(partner, bob, bobPassword));
            QSignalSpy partnerReceived(&partner, &ChatClient::MessageRecived);
            session->ConnectToServer(alice, alicePassword);
            session->AcceptMessages();
            if (flow == SessionFlow::SignsOutAndInAtOnce) {
                QTRY_VERIFY_WITH_TIMEOUT(session->IsConnected(), timeout);
                session->Disconnect();
                QVERIFY(!session->IsConnected());
                session->ConnectToServer(alice, alicePassword);
                session->AcceptMessages();
                QTRY_COMPARE_WITH_TIMEOUT(
                    record.states, QStringList({ "up", "down", "up" }), timeout);
                QVERIFY(session->SendTo("bob", "first"));
                QVERIFY(session->SendTo("bob", "second"));
            }
            QTRY_VERIFY_WITH_TIMEOUT(session->IsConnected(), timeout);
            // The session is up on the chat thread before the news of it reaches this one.
            if (flow == SessionFlow::SendsOnceUp)
                QTRY_COMPARE_WITH_TIMEOUT(sentOnceUp, QList<bool>({ true, true, true }), timeout);
            const QStringList said { "in order 1", "in order 2", "in order 3", "in order 4" };
            for (const QString& text : said)
                partner.sendMessage(alice, text);
            QTRY_COMPARE_WITH_TIMEOUT(record.texts, said, timeout);
            QTRY_COMPARE_WITH_TIMEOUT(partnerReceived.size(), 2, timeout);
            QCOMPARE(partnerReceived.at(0).at(1).toString(), QString("first"));
            QCOMPARE(partnerReceived.at(1).at(1).toString(), QString("second"));
            QCOMPARE(record.failures, 0);
        }

        QElapsedTimer ending;
        ending.start();
        session.reset();
        record.ended = true;
        QVERIFY2(ending.elapsed() < 2000, qPrintable(QString::number(ending.elapsed())));
        QTest::qWait(300);
        QVERIFY(!record.afterEnd);
        QVERIFY(!record.offGuiThread);
    }

    // A message keeps the time it was sent: the stamp of a server that kept it, unless the
    // server's clock runs ahead of ours.
    void sentAt_data()
    {
        QTest::addColumn<QDateTime>("stamp");
        QTest::addColumn<QDateTime>("sentAt");

        const QDateTime now(QDate(2026, 3, 6), QTime(16, 52, 30));
        QTest::newRow("no stamp") << QDateTime() << now;
        QTest::newRow("a stamp before now") << now.addSecs(-208).toUTC() << now.addSecs(-208);
        QTest::newRow("a stamp ahead of now") << now.addSecs(5).toUTC() << now;
    }

    void sentAt()
    {
        QFETCH(QDateTime, stamp);
        QFETCH(QDateTime, sentAt);
        const QDateTime now(QDate(2026, 3, 6), QTime(16, 52, 30));
        QCOMPARE(ChatClient::SentAt(stamp, now), sentAt);
        QCOMPARE(ChatClient::SentAt(stamp, now).timeSpec(), Qt::LocalTime);
    }

    void refusesServersItCannotVerify()
    {
        ProsodyServer untrusted(TEST_CA_DIR "/untrusted.pem", TEST_CA_DIR "/untrusted.key");
        QVERIFY2(untrusted.start(), qPrintable(untrusted.error()));
        QVERIFY(untrusted.addAccount("alice", alicePassword));

        const auto refuses = [](const char* what) {
            ChatClient client;
            QSignalSpy state(&client, &ChatClient::OnConnectionStateChange);
            QSignalSpy errors(&client, &ChatClient::CatchXmppError);
            QSignalSpy sslErrors(&client, &QXmppClient::sslErrors);
            client.connectToServer(alice, alicePassword);
            const bool refused = QTest::qWaitFor([&] { return !errors.isEmpty(); }, timeout);
            // Stop the library from trying again before the client goes.
            client.disconnectFromServer();
            if (!refused || sslErrors.isEmpty() || wasEverConnected(state))
                qWarning() << what << "was not refused for its certificate";
            return refused && !sslErrors.isEmpty() && !wasEverConnected(state);
        };

        useServer(untrusted.port());
        QVERIFY(refuses("a server with a self-signed certificate"));

        // Only the configured CA makes the test server's certificate good.
        useServer(server.port());
        qunsetenv("MOVARELQUINTASH_CA_FILE");
        const bool refusedWithoutCa = refuses("a server signed by an unknown CA");
        qputenv("MOVARELQUINTASH_CA_FILE", TEST_CA_DIR "/ca.pem");
        QVERIFY(refusedWithoutCa);
    }

    // Signed out, then in again: once the sign-out has ended, or at once (the sign-out's
    // connection still closing).
    void signOutThenSignInStillDelivers_data()
    {
        QTest::addColumn<bool>("atOnce");
        QTest::newRow("after the sign-out") << false;
        QTest::newRow("at once") << true;
    }

    void signOutThenSignInStillDelivers()
    {
        QFETCH(bool, atOnce);
        ChatClient sender;
        ChatClient receiver;
        QSignalSpy state(&receiver, &ChatClient::OnConnectionStateChange);
        QVERIFY(signIn(sender, alice, alicePassword));
        QVERIFY(signIn(receiver, bob, bobPassword));

        receiver.disconnectFromServer();
        if (!atOnce) {
            QTRY_COMPARE_WITH_TIMEOUT(state.last().first().toBool(), false, timeout);
            QCOMPARE(receiver.state(), QXmppClient::DisconnectedState);
        }

        QSignalSpy received(&receiver, &ChatClient::MessageRecived);
        receiver.connectToServer(bob, bobPassword);
        receiver.AcceptMessages();
        // Well before the library's own next try, 10 s on.
        QTRY_VERIFY_WITH_TIMEOUT(receiver.isConnected(), 5000);
        QCOMPARE(state.size(), 3);
        QCOMPARE(state.last().first().toBool(), true);
        sender.sendMessage(bob, "welcome back");
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, timeout);
        QCOMPARE(received.first().at(1).toString(), QString("welcome back"));
    }
};

QTEST_GUILESS_MAIN(TestChatClient)
#include "tst_chatclient.moc"
