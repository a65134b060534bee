#include "TrackingFixture.h"

#include "OfflineStorage.h"
#include "ProsodyServer.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace TrackingFixture;

// The ends of a working session against the fake service and a chat server: sign-out while
// tracking, the next member signing in on the same window, and quitting while tracking. The
// functions run in order, each going on from where the one before left the window.
class TestSignOut : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        QVERIFY(m_service.Start({ "--update-version", "" }));
        m_service.PointClientsHere();
        QVERIFY2(m_chat.start(), qPrintable(m_chat.error()));
        QVERIFY(m_chat.addAccount("demo", "demo123"));
        QVERIFY(m_chat.addAccount("anna.k", "anna123"));
        qputenv("MOVARELQUINTASH_CHAT_DOMAIN", "localhost");
        qputenv("MOVARELQUINTASH_CHAT_HOST", "127.0.0.1");
        qputenv("MOVARELQUINTASH_CHAT_PORT", QByteArray::number(m_chat.port()));
        qputenv("MOVARELQUINTASH_WEB_URL", "http://127.0.0.1:9");
        ChangeSettings([](SettingsProvider::SETTINGS& settings) {
            settings = SettingsProvider::SETTINGS();
            settings.soundMode = 0;
            settings.confirmAtExit = false;
            settings.setReminderOnStop = true;
        });

        m_window = std::make_unique<RosterWindow>();
        m_misc = m_window->findChild<MiscFunctions*>();
        m_desktop.Install(*m_window);
        m_window->showLoginDialog();
    }

    void cleanupTestCase()
    {
        HideScreenshotPopup();
        m_window.reset();
    }

    void signingOutWhileTrackingEndsTheWork()
    {
        QVERIFY(SignInAs("demo", "demo123"));
        QVERIFY(WaitForChatSignIn("demo"));
        QTRY_VERIFY(!OwnAvatar().isNull());
        const QImage demoAvatar = OwnAvatar();
        StartTracking(*m_window, "Atlas", "Checkout review");
        QVERIFY(m_misc->IsCountingEvents());
        QTRY_VERIFY(WorkNotices(m_service).endsWith("start 11"));
        QVERIFY(TakeCapture(*m_window));
        QVERIFY(ScreenshotPopup()->isVisible());
        // The desktop's network goes: the member works from the cache.
        m_desktop.network = false;
        QTRY_COMPARE(Find<QLabel>(*m_window, "lblUserStatus")->text(), QString("ONLINE - CACHED"));
        const int requestsBefore = m_service.Requests().size();
        LogReader log;

        Find<QAction>(*m_window, "actionSign_out")->trigger();

        QTRY_COMPARE(WorkNotices(m_service, requestsBefore), QStringList({ "stop 11" }));
        QVERIFY(!m_misc->IsCountingEvents());
        QVERIFY(!ScreenshotPopup()->isVisible());
        QVERIFY(!m_window->isVisible());
        QVERIFY(m_misc->GetAuthDialog().isVisible());
        QCOMPARE(log.Lines().count("Signed out"), 2);
        // No stop reminder comes for a member who left.
        QVERIFY(!Find<QTimer>(*m_window, "stopReminderTimer")->isActive());
        QVERIFY(!m_misc->GetStopReminder().isVisible());
        QVERIFY(!Find<QTimer>(*m_window, "stateTimer")->isActive());
        // The capture that was still on screen waits in the cache for the next upload, once
        // encoded.
        QTRY_COMPARE(OfflineStorage().GetTotalStorageItems(), 1);
        const QList<ScreenshotRecord> cached = OfflineStorage().GetOfflineStorage();
        QCOMPARE(cached.size(), 1);
        QCOMPARE(cached.first().memo, QString("Checkout review"));
        QCOMPARE(cached.first().memberId, 1001);
        // The service hears "do not disturb"; the lists are empty.
        QTRY_VERIFY(LastChatStatus() == "do not disturb");
        QCOMPARE(Find<QListWidget>(*m_window, "lstRoster")->count(), 0);
        QCOMPARE(Find<QComboBox>(*m_window, "cmbCurrentCompany")->count(), 0);
        QVERIFY(Find<QMenu>(*m_window, "menuSelect_team")->isEmpty());
        QTRY_VERIFY(ChatSessionClosed("demo"));
        m_demoAvatar = demoAvatar;
        m_desktop.network = true;
    }

    void theNextMemberSeesOnlyTheirOwn()
    {
        const int chatSignInsBefore = m_chat.log().count("Authenticated as");
        QVERIFY(SignInAs("anna.k", "anna123"));
        QVERIFY(WaitForChatSignIn("anna.k"));
        QCOMPARE(m_chat.log().count("Authenticated as"), chatSignInsBefore + 1);

        QStringList teams;
        const QList<RosterManager::ROSTER_GROUP_ITEM> groups
            = Find<RosterManager>(*m_window, "rosterManager")->GetRosterList();
        for (const RosterManager::ROSTER_GROUP_ITEM& group : groups)
            teams << group.name;
        QCOMPARE(teams, QStringList({ "Atlas", "Borealis" }));
        QCOMPARE(Find<QMenu>(*m_window, "menuSelect_team")->actions().size(), 2);
        QCOMPARE(Find<QLabel>(*m_window, "lblUserName")->text(), QString("Anna Kovalenko"));
        QCOMPARE(Find<QLabel>(*m_window, "lblUserStatus")->text(), QString("ONLINE"));
        QCOMPARE(ToolTip(*m_window), QString("Tessivanor Team Room - Online(anna.k)"));
        QVERIFY(m_misc->GetMemo().isEmpty());
        QCOMPARE(m_misc->GetUserCompanyID(), -1);
        QVERIFY(CheckedTeams(*m_window).isEmpty());
        QTRY_VERIFY(!OwnAvatar().isNull());
        QVERIFY(OwnAvatar() != m_demoAvatar);
        QVERIFY(Find<QPushButton>(*m_window, "btnTimeControl")->isEnabled());
    }

    // However the run ends, the stop notice goes out; its answer is waited for 3 s at most.
    void quittingWhileTrackingSendsTheStopNotice_data()
    {
        QTest::addColumn<int>("answerDelayMs");
        QTest::addColumn<int>("atLeastMs");
        QTest::addColumn<int>("atMostMs");
        QTest::newRow("answered at once") << 0 << 0 << 2500;
        QTest::newRow("answered late") << 6000 << 2900 << 5000;
    }

    void quittingWhileTrackingSendsTheStopNotice()
    {
        QFETCH(int, answerDelayMs);
        QFETCH(int, atLeastMs);
        QFETCH(int, atMostMs);
        QVERIFY(m_service.Control("fail",
            { { "mode", answerDelayMs ? "slow" : "none" }, { "path", "/k4p/work/stop:var" },
                { "delay", QString::number(answerDelayMs) } }));
        StartTracking(*m_window, "Borealis", "Release notes");
        QTRY_VERIFY(WorkNotices(m_service).endsWith("start 12"));
        const int requestsBefore = m_service.Requests().size();

        QTimer::singleShot(0, m_window.get(), &RosterWindow::ExitApp);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(QCoreApplication::exec(), 0);
        const qint64 elapsed = clock.elapsed();

        QCOMPARE(WorkNotices(m_service, requestsBefore), QStringList({ "stop 12" }));
        QVERIFY2(elapsed >= atLeastMs && elapsed <= atMostMs, qPrintable(QString::number(elapsed)));
        QVERIFY(!m_misc->IsCountingEvents());
        QVERIFY(m_service.Control("fail", { { "mode", "none" } }));
    }

private:
    bool SignInAs(const QString& login, const QString& password)
    {
        AuthDialog& dialog = m_misc->GetAuthDialog();
        if (!dialog.isVisible())
            return false;
        dialog.findChild<QLineEdit*>("txtLoginName")->setText(login);
        dialog.findChild<QLineEdit*>("txtPassword")->setText(password);
        QSignalSpy answers(Find<RestAPI>(*m_window, "restApi"), &RestAPI::ApiDataOk);
        dialog.findChild<QPushButton*>("btnLogIn")->click();
        return QTest::qWaitFor(
                   [&] {
                       for (const QList<QVariant>& answer : answers)
                           if (answer.at(0).value<RestAPI::ApiResult>().state
                               == RestAPI::AllSnapshotsLoaded)
                               return true;
                       return false;
                   },
                   10000)
            && m_window->isVisible();
    }

    bool WaitForChatSignIn(const QString& user)
    {
        return QTest::qWaitFor(
            [&] { return m_chat.log().contains("Authenticated as " + user + "@localhost"); },
            10000);
    }

    // The chat server saw the session that signed in as `user` end.
    bool ChatSessionClosed(const QString& user) const
    {
        const QString log = m_chat.log();
        const QRegularExpressionMatch session = QRegularExpression(
            "(\\S+)\\s+info\\s+Authenticated as " + QRegularExpression::escape(user) + "@localhost")
                                                    .match(log);
        return session.hasMatch()
            && log.contains(session.captured(1) + "\tinfo\tClient disconnected");
    }

    QImage OwnAvatar() const
    {
        const QPixmap* picture = Find<QLabel>(*m_window, "picUserAvatar")->pixmap();
        return picture ? picture->toImage() : QImage();
    }

    QString LastChatStatus() const
    {
        QString status;
        const QList<QJsonObject> requests = m_service.Requests();
        for (const QJsonObject& request : requests)
            if (request.value("path").toString() == "/k4p/chat/status:var")
                status = request.value("fields").toObject().value("status").toString();
        return status;
    }

    FakeServiceProcess m_service;
    ProsodyServer m_chat { TEST_CA_DIR "/server.pem", TEST_CA_DIR "/server.key" };
    FakeDesktop m_desktop;
    std::unique_ptr<RosterWindow> m_window;
    MiscFunctions* m_misc = nullptr;
    QImage m_demoAvatar;
};

QTEST_MAIN(TestSignOut)
#include "tst_signout.moc"
