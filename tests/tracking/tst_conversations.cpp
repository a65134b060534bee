#include "SignedInWindow.h"

#include "ChatWindowDialog.h"

#include <QTextEdit>

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
// fake one; messages are handed to the chat client's signal as the server would deliver them.
class TestConversations : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
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

    void cleanupTestCase() { m_s.reset(); }

    void signingOutClosesTheConversations()
    {
        m_s->window->StartConversation(m_anna, QString());
        QCOMPARE(OpenConversations().size(), 1);
        m_s->window->SignOut();
        QVERIFY(OpenConversations().isEmpty());
        m_s->window->findChild<MiscFunctions*>()->GetAuthDialog().hide();
    }

private:
    FakeServiceProcess m_service;
    std::unique_ptr<SignedInWindow> m_s;
    FakeDesktop m_desktop;
    RosterManager::ROSTER_ITEM m_anna;
    ChatClient* m_chat = nullptr;
};

QTEST_MAIN(TestConversations)
#include "tst_conversations.moc"
