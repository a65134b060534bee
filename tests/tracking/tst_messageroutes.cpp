#include "tracking/Conversations.h"

#include "ChatHistory.h"
#include "ChatWindowDialog.h"
#include "LogManager.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Where an incoming chat message goes, for each state of the session and of the partner's
// window, without the main window, the service or a chat server: each message a member of the
// roster sends is stored once, whatever holds it first, and nothing of a session reaches the
// next one.
class TestMessageRoutes : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        qputenv("MOVARELQUINTASH_CHAT_DOMAIN", "localhost");
        QVERIFY(m_logDir.isValid());
        m_log.SetLogPath(m_logDir.filePath("activity.log"));
        m_log.StartLog();
        RosterManager::ROSTER_GROUP_ITEM team;
        team.groupID = 11;
        team.name = "Atlas";
        team.isLoaded = true;
        m_anna.groupID = 11;
        m_anna.contactID = 1002;
        m_anna.fullName = "Anna Kovalenko";
        m_anna.userName = "anna.k";
        team.contacts << m_anna;
        m_roster.SetRosterList({ team }, true);
    }

    void cleanup()
    {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (qobject_cast<ChatWindowDialog*>(window))
                window->close();
        QTest::qWait(0); // the closed windows go
        QFile::remove(ChatWindowDialog::GetHisotryFileNameForCurrentChat(m_anna));
    }

    void goesWhereItBelongs_data()
    {
        using S = Conversations::Session;
        QTest::addColumn<S>("session");
        QTest::addColumn<QString>("window"); // none, open or minimised
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("then"); // roster, sign-out or quit, before the look
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("notice"); // the title of the one notice; empty: none
        QTest::addColumn<QString>("logged"); // why it was not stored

        const QString anna = "anna.k@localhost/QXmpp";
        const QString stranger = "stranger@localhost";
        const QString fromAnna = "New message from: Anna Kovalenko";
        const QString fromStranger = "New message from: stranger";
        const QString no; // step, notice or log line
        QTest::newRow("no window") << S::Rostered << "none" << anna << no << 1 << fromAnna << no;
        QTest::newRow("open window") << S::Rostered << "open" << anna << no << 1 << no << no;
        QTest::newRow("minimised window") << S::Rostered << "minimised" << anna << no << 1
                                          << "New message from Anna Kovalenko" << no;
        QTest::newRow("not in the roster")
            << S::Rostered << "none" << stranger << no << 0 << fromStranger << no;
        QTest::newRow("broadcast, signed out")
            << S::SignedOut << "none"
            << "localhost" << no << 0 << "Broadcast message:" << no;
        QTest::newRow("signed out")
            << S::SignedOut << "none" << anna << no << 0 << no << "signed out";
        QTest::newRow("before the roster")
            << S::BeforeFirstRoster << "none" << anna << no << 0 << no << no;
        QTest::newRow("before the roster, which comes")
            << S::BeforeFirstRoster << "none" << anna << "roster" << 1 << fromAnna << no;
        QTest::newRow("before the roster, a stranger")
            << S::BeforeFirstRoster << "none" << stranger << "roster" << 0 << fromStranger << no;
        QTest::newRow("before the roster, signed out")
            << S::BeforeFirstRoster << "none" << anna << "sign-out" << 0 << no
            << "signed out before the roster came";
        QTest::newRow("before the roster, quit")
            << S::BeforeFirstRoster << "none" << anna << "quit" << 0 << no
            << "the client quit before the roster came";
    }

    void goesWhereItBelongs()
    {
        QFETCH(Conversations::Session, session);
        QFETCH(QString, window);
        QFETCH(QString, from);
        QFETCH(QString, then);
        QFETCH(int, stored);
        QFETCH(QString, notice);
        QFETCH(QString, logged);

        Conversations::Session now = Conversations::Session::Rostered;
        QList<QPair<QString, QString>> notices;
        Conversations::Context context;
        context.me = context.meAsShown = [] {
            return RosterManager::ROSTER_ITEM();
        };
        context.session = [&now] {
            return now;
        };
        context.showNotice = [&notices](const QString& title, const QString& text) {
            notices.append({ title, text });
        };
        Conversations conversations(m_roster, m_log, context);
        if (window != "none") {
            conversations.StartWith(m_anna, QString());
            ChatWindowDialog* open = nullptr;
            for (QWidget* widget : QApplication::topLevelWidgets())
                open = open ? open : qobject_cast<ChatWindowDialog*>(widget);
            QVERIFY(open && open->isVisible());
            if (window == "minimised")
                open->showMinimized();
        }
        now = session;
        LogManager::Flush();
        const qint64 logFrom = QFile(m_log.GetLogPath()).size();
        const QString text = "<i>see</i> & reply";
        emit conversations.Chat().MessageRecived(from, text, QDateTime());
        if (then == "roster") {
            QVERIFY(notices.isEmpty());
            now = Conversations::Session::Rostered;
            conversations.RosterCame();
        } else if (then == "sign-out") {
            now = Conversations::Session::SignedOut;
            conversations.SignOut();
        } else if (then == "quit") {
            conversations.Quit();
        }

        const QList<ChatHistory::HistoryEntry> history = ChatHistory::LoadHistory(
            ChatWindowDialog::GetHisotryFileNameForCurrentChat(m_anna), ChatHistory::HISTORY_TODAY);
        QCOMPARE(history.size(), stored);
        if (stored)
            QCOMPARE(history.first().message, text);
        QCOMPARE(notices.size(), notice.isEmpty() ? 0 : 1);
        if (!notice.isEmpty()) {
            QCOMPARE(notices.first().first.left(notice.size()), notice);
            QCOMPARE(notices.first().second, text);
        }
        LogManager::Flush();
        QFile file(m_log.GetLogPath());
        QVERIFY(file.open(QIODevice::ReadOnly) && file.seek(logFrom));
        const QString line = "Chat message from " + from + " not stored: " + logged;
        QCOMPARE(QString::fromUtf8(file.readAll()).contains(line), !logged.isEmpty());
    }

private:
    QTemporaryDir m_logDir;
    LogManager m_log;
    RosterManager m_roster;
    RosterManager::ROSTER_ITEM m_anna;
};

QTEST_MAIN(TestMessageRoutes)
#include "tst_messageroutes.moc"
