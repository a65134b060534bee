#include "TrackingFixture.h"

#include "MacTitleWidget.h"

#include <QLineEdit>
#include <QPushButton>

using namespace TrackingFixture;

namespace {

QString ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestRosterWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        qputenv("MOVARELQUINTASH_WEB_URL", "http://web.test:8080/portal/");
        QVERIFY(m_service.Start());
        m_service.PointClientsHere();
    }

    void buildsItsTitleBarAndAbsoluteLinks()
    {
        RosterWindow window;
        QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
        auto* title = window.findChild<MacTitleWidget*>("rosterTitleWidget");
        QVERIFY(title);
        QCOMPARE(title->pos(), QPoint(11, 6));
        QCOMPARE(title->width(), window.width());
        QCOMPARE(title->GetButtonSize(), QSize(23, 17));
        QVERIFY(title->IsButtonActive(MacTitleWidget::CLOSE_BUTTON));
        QVERIFY(title->IsButtonActive(MacTitleWidget::MINIMIZE_BUTTON));
        QVERIFY(!title->IsButtonActive(MacTitleWidget::MAXIMIZE_BUTTON));
        // The settings application gives the window the style sheet, the title bar included.
        QCOMPARE(window.styleSheet(), ReadFile(":/design/mac.qss"));

        auto* misc = window.findChild<MiscFunctions*>();
        QList<QUrl> opened;
        misc->SetLinkOpener([&opened](const QUrl& url) {
            opened.append(url);
            return true;
        });
        const QList<QPair<const char*, const char*>> links { { "lblLinkMyMail", "My_Mail.php" },
            { "lblLinkFindTessivanors", "Browse_ContractorCategories.php" },
            { "lbLinkPostJob", "Add_Job.php" }, { "lblLinkAcademy", "Academy.php" } };
        for (const auto& link : links) {
            auto* label = window.findChild<QLabel*>(link.first);
            const QString target
                = QStringLiteral("http://web.test:8080/portal/Sites/1/Main/") + link.second;
            QVERIFY2(label->text().contains("href=\"" + target + "\""), link.first);
            emit label->linkActivated(target);
            QCOMPARE(opened.last().toString(), target);
        }
        QCOMPARE(opened.size(), 4);
    }

    void statusShowsEverywhere_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("trayPicture");
        QTest::addColumn<QString>("trayChecked");
        QTest::addColumn<QString>("toolTip");
        // Each row starts from STATUS_ONLINE.
        QTest::newRow("1 online working") << 1 << "ONLINE"
                                          << "actionAvailable"
                                          << ":/tray/trackTimeNormal.ico"
                                          << "Available"
                                          << "Tessivanor Team Room - Working(demo)";
        QTest::newRow("2 dnd working") << 2 << "DO NOT DISTURB"
                                       << "actionBusy"
                                       << ":/tray/trackTimeBusy.ico"
                                       << "Busy"
                                       << "Tessivanor Team Room - Do not disturb(demo)";
        QTest::newRow("3 idle working") << 3 << "ONLINE - IDLE"
                                        << "actionAvailable"
                                        << ":/tray/trackTimeIdle.ico"
                                        << "Available"
                                        << "Tessivanor Team Room - Idle(demo)";
        QTest::newRow("4 online") << 4 << "ONLINE"
                                  << "actionAvailable"
                                  << ":/tray/normal.ico"
                                  << "Available"
                                  << "Tessivanor Team Room - Online(demo)";
        QTest::newRow("5 idle") << 5 << "ONLINE - IDLE"
                                << ""
                                << ":/tray/idle.ico"
                                << "Available"
                                << "Tessivanor Team Room - Idle(demo)";
        QTest::newRow("6 dnd") << 6 << "DO NOT DISTURB"
                               << "actionBusy"
                               << ":/tray/busy.ico"
                               << "Busy"
                               << "Tessivanor Team Room - Do not distrub(demo)";
        QTest::newRow("7 offline") << 7 << "DO NOT DISTURB"
                                   << "actionBusy"
                                   << ":/tray/busy.ico"
                                   << "Busy"
                                   << "Tessivanor Team Room - Do not distrub(demo)";
        QTest::newRow("8 cached") << 8 << "ONLINE - CACHED"
                                  << ""
                                  << ":/tray/normal.ico"
                                  << "Available"
                                  << "Tessivanor Team Room - (demo)";
        QTest::newRow("0 none") << 0 << "ONLINE"
                                << ""
                                << ":/tray/busy.ico"
                                << "Available"
                                << "";
    }

    void statusShowsEverywhere()
    {
        QFETCH(int, status);
        QFETCH(QString, label);
        QFETCH(QString, checked);
        QFETCH(QString, trayPicture);
        QFETCH(QString, trayChecked);
        QFETCH(QString, toolTip);

        RosterWindow window;
        auto* misc = window.findChild<MiscFunctions*>();
        misc->SetUserName("demo");
        TrayIcon& tray = misc->GetTrayIcon();
        QVERIFY(tray.isVisible());
        tray.hide();
        window.ChangeStatus(RosterManager::STATUS(status));

        auto* statusLabel = window.findChild<QLabel*>("lblUserStatus");
        QCOMPARE(statusLabel->text(), label);
        QCOMPARE(statusLabel->styleSheet(),
            ListWidgetManager::GetStyleForStatus(RosterManager::STATUS(status)));
        for (const char* name : { "actionAvailable", "actionBusy" })
            QCOMPARE(window.findChild<QAction*>(name)->isChecked(), checked == name);

        QCOMPARE(IconImage(tray.icon()), IconImage(QIcon(trayPicture)));
        QCOMPARE(TrayAction(tray, "Available")->isChecked(), trayChecked == "Available");
        QCOMPARE(TrayAction(tray, "Busy")->isChecked(), trayChecked == "Busy");
        QCOMPARE(tray.toolTip(), toolTip);
        QVERIFY(tray.isVisible());
        QVERIFY(ActivityLog().endsWith("Action: User status was changed: " + toolTip + "\r\n"));
    }

    void statusActionsChooseByTracking()
    {
        RosterWindow window;
        window.findChild<QAction*>("actionBusy")->trigger();
        QCOMPARE(window.findChild<QLabel*>("lblUserStatus")->text(), QString("DO NOT DISTURB"));
        QVERIFY(window.findChild<QAction*>("actionBusy")->isChecked());
        QVERIFY(!window.findChild<QAction*>("actionAvailable")->isChecked());
        window.findChild<QAction*>("actionAvailable")->trigger();
        QCOMPARE(window.findChild<QLabel*>("lblUserStatus")->text(), QString("ONLINE"));
        QVERIFY(window.findChild<QAction*>("actionAvailable")->isChecked());
        QVERIFY(!window.findChild<QAction*>("actionBusy")->isChecked());

        // The tray's choices reach the same place.
        TrayIcon& tray = window.findChild<MiscFunctions*>()->GetTrayIcon();
        tray.ChangeSign(true);
        TrayAction(tray, "Busy")->trigger();
        QCOMPARE(window.findChild<QLabel*>("lblUserStatus")->text(), QString("DO NOT DISTURB"));
    }

    void publishesTheChatStatusWordOnlyWhereTheServiceHasOne()
    {
        RosterWindow window;
        auto* api = window.findChild<RestAPI*>("restApi");
        QSignalSpy ok(api, &RestAPI::ApiDataOk);
        api->Login("demo", "demo123");
        QTRY_COMPARE(ok.count(), 1);

        const int earlier = chatStatuses().size();
        QStringList expected;
        const QStringList words { "", "online", "do not disturb", "", "online", "",
            "do not disturb", "offline", "" };
        for (int status = 0; status <= 8; ++status) {
            window.ChangeStatus(RosterManager::STATUS(status));
            if (words.at(status).isEmpty())
                continue;
            expected << words.at(status);
            QTRY_COMPARE(chatStatuses().mid(earlier).size(), expected.size());
        }
        // The statuses without a word came in between; a late request would show here.
        window.ChangeStatus(RosterManager::STATUS_DND);
        expected << "do not disturb";
        QTRY_COMPARE(chatStatuses().mid(earlier).size(), expected.size());
        QCOMPARE(chatStatuses().mid(earlier), expected);
    }

    void restTraceIsWrittenWithoutSecrets()
    {
        RosterWindow window;
        auto* api = window.findChild<RestAPI*>("restApi");
        QSignalSpy ok(api, &RestAPI::ApiDataOk);
        api->Login("demo", "demo123");
        QTRY_COMPARE(ok.count(), 1);
        const QString hashKey = api->GetCurrentUserInfo().hashKey;
        api->SetUserChatStatus(RosterManager::STATUS_ONLINE);
        QTRY_COMPARE(ok.count(), 2);

        const QString tracePath
            = SettingsProvider().GetCurrentSettings().logLocation + "/restApiLog.log";
        const QString trace = ReadFile(tracePath);
        QVERIFY(trace.contains("/k4p/auth/login:var"));
        QVERIFY(trace.contains("/k4p/chat/status:var"));
        QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d ").match(trace).hasMatch());
        QVERIFY(trace.endsWith("\r\n"));
        QVERIFY(!trace.contains("demo123"));
        QVERIFY(
            !trace.contains(QCryptographicHash::hash("demo123", QCryptographicHash::Md5).toHex()));
        QVERIFY(!hashKey.isEmpty());
        QVERIFY(!trace.contains(hashKey));
        QCOMPARE(QFile(tracePath).permissions() & (QFile::ReadOther | QFile::ReadGroup),
            QFileDevice::Permissions());
    }

    void startsSignedOutAndLogsFailedSignIns()
    {
        RosterWindow window;
        window.show();
        TrayIcon& tray = window.findChild<MiscFunctions*>()->GetTrayIcon();
        tray.ChangeSign(true);
        window.showLoginDialog();
        QVERIFY(!window.isVisible());
        QVERIFY(tray.toolTip().isEmpty());
        QVERIFY(!TrayAction(tray, "Sign out")->isEnabled());

        AuthDialog& dialog = window.findChild<MiscFunctions*>()->GetAuthDialog();
        QVERIFY(dialog.isVisible());
        dialog.findChild<QLineEdit*>("txtLoginName")->setText("demo");
        dialog.findChild<QLineEdit*>("txtPassword")->setText("not-the-password");
        QSignalSpy failed(&dialog, &AuthDialog::OnAuthFailed);
        dialog.findChild<QPushButton*>("btnLogIn")->click();
        QTRY_COMPARE(failed.count(), 1);
        const QString log = ActivityLog();
        QVERIFY(log.endsWith("Action: Sign-in error! Login name: demo\r\n"));
        QVERIFY(!log.contains("not-the-password"));
    }

    void resetsTheWorkingTimeWithItsLogLines()
    {
        RosterWindow window;
        window.ResetWorkingTime();
        const QString log = ActivityLog();
        QVERIFY(log.contains("Action: Reset working time\r\n"));
        QVERIFY(log.endsWith("Action: Reset working time - ok\r\n"));
    }

private:
    QStringList chatStatuses() const
    {
        QStringList statuses;
        const QList<QJsonObject> requests = m_service.Requests();
        for (const QJsonObject& request : requests)
            if (request.value("path").toString() == "/k4p/chat/status:var")
                statuses << request.value("fields").toObject().value("status").toString();
        return statuses;
    }

    FakeServiceProcess m_service;
};

QTEST_MAIN(TestRosterWindow)
#include "tst_rosterwindow.moc"
