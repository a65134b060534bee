#include "FakeServiceProcess.h"
#include "SignedInWindow.h"
#include "tracking/popupWindow.h"
#include "updateDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace TrackingFixture;

namespace {

QString LastLogLine()
{
    const QStringList lines = ActivityLog().split("\r\n", Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last().section(" - Action: ", 1);
}

} // namespace

class TestApiAnswers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        ChangeSettings([](SettingsProvider::SETTINGS& settings) { settings.soundMode = 0; });
        QVERIFY(m_service.Start());
        m_service.PointClientsHere();
    }

    void init() { QVERIFY(m_service.Control("reset")); }

    void noConnectionBlocksTrackingUntilTeamsArrive_data()
    {
        QTest::addColumn<bool>("fromInfoClient");
        QTest::newRow("roster client") << false;
        QTest::newRow("information client") << true;
    }

    void noConnectionBlocksTrackingUntilTeamsArrive()
    {
        QFETCH(bool, fromInfoClient);
        SignedInWindow s;
        QVERIFY(s.SignIn());
        QVERIFY(s.Refresh());
        auto* noTeams = s.window->findChild<QLabel*>("lblNoTeams");
        auto* button = s.window->findChild<QPushButton*>("btnTimeControl");
        auto* action = s.window->findChild<QAction*>("actionTrackingTime");
        const auto trayTracking = [&s] {
            return TrayAction(s.tray, "Start tracking time");
        };
        QVERIFY(button->isEnabled() && action->isEnabled() && trayTracking()->isEnabled());

        RestAPI* client = fromInfoClient ? s.info : s.rest;
        QSignalSpy failed(client, &RestAPI::ApiDataError);
        client->SetNetworkCheck([] { return false; });
        if (fromInfoClient)
            client->GetAboutInfo();
        else
            client->Roster_GetTeams();
        QTRY_COMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).value<RestAPI::ApiState>(), RestAPI::NoConnection);

        QVERIFY(s.list->isHidden());
        QVERIFY(!noTeams->isHidden());
        QCOMPARE(noTeams->text(), QString("No teams available for you now"));
        QVERIFY(!button->isEnabled());
        QVERIFY(!action->isEnabled());
        QVERIFY(!trayTracking()->isEnabled());
        const QString log = ActivityLog();
        QVERIFY(log.contains("Action: Network error!\r\n"));
        QCOMPARE(LastLogLine(), QString("Api query failed: Api state: 28"));

        client->SetNetworkCheck([] { return true; });
        QVERIFY(s.Refresh(RestAPI::GetTeamsState));
        QVERIFY(!s.list->isHidden());
        QVERIFY(noTeams->isHidden());
        QVERIFY(button->isEnabled() && action->isEnabled() && trayTracking()->isEnabled());
    }

    void updateIsOfferedForNewerVersions_data()
    {
        QTest::addColumn<QString>("application");
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("offered");
        QTest::newRow("major") << "1.9"
                               << "2.0" << true;
        QTest::newRow("minor as a number") << "1.9"
                                           << "1.10" << true;
        QTest::newRow("same") << "1.9"
                              << "1.9" << false;
        QTest::newRow("older") << "1.9"
                               << "1.8" << false;
        QTest::newRow("server without a dot") << "0.5"
                                              << "1" << false;
        QTest::newRow("empty server version") << "0.5"
                                              << "" << false;
        QTest::newRow("third part newer") << "1.1"
                                          << "1.2.3" << true;
        QTest::newRow("shorter server") << "1.2.3"
                                        << "1.2" << false;
        QTest::newRow("missing part is 0") << "1.2"
                                           << "1.2.0" << false;
        QTest::newRow("patch") << "1.2"
                               << "1.2.1" << true;
        QTest::newRow("build version") << "1.0.0"
                                       << "1.1" << true;
        QTest::newRow("application without a dot") << "2"
                                                   << "2.1" << true;
        QTest::newRow("no application version, minor") << ""
                                                       << "0.1" << true;
        QTest::newRow("no application version, major") << ""
                                                       << "1.0" << true;
        QTest::newRow("no application version, zero") << ""
                                                      << "0.0" << false;
        QTest::newRow("part that is no number") << "0.9"
                                                << "1.x" << true;
        QTest::newRow("only the part that is no number") << "1.0"
                                                         << "1.x" << false;
    }

    void updateIsOfferedForNewerVersions()
    {
        QFETCH(QString, application);
        QFETCH(QString, server);
        QFETCH(bool, offered);
        QCoreApplication::setApplicationVersion(application);
        RosterWindow window;
        QCOMPARE(window.isNeedUpdate(server), offered);
        QCOMPARE(LastLogLine(),
            offered                    ? QString("Is need update")
                : server.contains('.') ? QString("Is need update - false")
                                       : QString("Is need update  - false"));
    }

    void newerVersionOpensTheUpdateDialog()
    {
        QCoreApplication::setApplicationVersion("1.0.0");
        SignedInWindow s;
        QVERIFY(s.SignIn());
        s.window->show();
        QSignalSpy answers(s.info, &RestAPI::ApiDataOk);
        s.info->CheckUpdates();
        QTRY_COMPARE(answers.count(), 1);

        auto* dialog = TopLevel<updateDialog>();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        // The offer blocks no other window: the memo dialog that tracking opens takes input.
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(dialog->findChild<QLabel*>("lblCurrentVersion")->text(), QString("1.0.0"));
        QCOMPARE(dialog->findChild<QLabel*>("lblAvailableVersion")->text(), QString("1.1"));

        // The window and the tray icon give way to the download and come back when it ends.
        emit dialog->DownloadUpdate();
        QVERIFY(!s.window->isVisible());
        QVERIFY(!s.tray.isVisible());
        emit dialog->DownloadUpdateError();
        QVERIFY(s.window->isVisible());
        QVERIFY(s.tray.isVisible());
        emit dialog->DownloadUpdate();
        emit dialog->DownloadCanceled();
        QVERIFY(s.window->isVisible());
        dialog->hide();

        QCoreApplication::setApplicationVersion("1.1");
        s.info->CheckUpdates();
        QTRY_COMPARE(answers.count(), 2);
        QVERIFY(!dialog->isVisible());
    }

    void snapAddressGoesToClipboardAndPopup()
    {
        SignedInWindow s;
        QVERIFY(s.SignIn());
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        s.rest->UploadScreensnap("Title", "", " ", 0, 0, 11, RestAPI::PublicPermission, "", png);
        QVERIFY(s.WaitForAnswer(RestAPI::ScreensnapUpload));
        const QString address = QApplication::clipboard()->text();
        QCOMPARE(address, m_service.BaseUrl().toString() + "/s/snap0001");

        auto* popup = TopLevel<popupWindow>();
        QVERIFY(popup->isVisible());
        auto* text = popup->findChild<QLabel*>("lblPopupText");
        QCOMPARE(text->textFormat(), Qt::RichText);
        QCOMPARE(text->text(),
            "Short URL:\n<a href=\"" + address + "\">" + address
                + "</a><br>has been placed in clipboard");

        // Markup in the address stays text; the popup on screen gives way.
        const QString odd = "https://s.test/a?b=1&c=<b>\"x\"</b>";
        emit s.rest->ApiDataOk(RestAPI::ScreensnapUpload, odd);
        QCOMPARE(QApplication::clipboard()->text(), odd);
        const QString escaped = "https://s.test/a?b=1&amp;c=&lt;b&gt;&quot;x&quot;&lt;/b&gt;";
        QCOMPARE(text->text(),
            "Short URL:\n<a href=\"" + escaped + "\">" + escaped
                + "</a><br>has been placed in clipboard");
        QVERIFY(popup->isVisible());
        const QString log = ActivityLog();
        QVERIFY(log.contains("Action: Close current popup\r\n"));
        QCOMPARE(LastLogLine(), QString("Popup was showed"));
        popup->hide();
    }

    void failedSnapUploadTellsTheMember()
    {
        QVERIFY(m_service.Control(
            "fail", { { "mode", "http500" }, { "path", "/k4p/snaps/upload:var" } }));
        SignedInWindow s;
        QVERIFY(s.SignIn());
        s.rest->UploadScreensnap("Title", "", " ", 0, 0, 11, RestAPI::PublicPermission, "",
            QByteArray("\x89PNG\r\n\x1a\n", 8));
        QVERIFY(s.WaitForFailure(RestAPI::ScreensnapUpload));
        auto* popup = TopLevel<popupWindow>();
        QVERIFY(popup->isVisible());
        auto* text = popup->findChild<QLabel*>("lblPopupText");
        QCOMPARE(text->textFormat(), Qt::PlainText);
        QVERIFY(text->text().contains("could not be uploaded"));
        QCOMPARE(LastLogLine(), QString("Api query failed: Api state: 30"));
        popup->hide();
    }

    void aboutToolsAndOwnAvatarReachTheWindow()
    {
        SignedInWindow s;
        QVERIFY(s.SignIn());
        QSignalSpy answers(s.info, &RestAPI::ApiDataOk);
        s.info->GetAboutInfo();
        s.info->GetTeamworkTools();
        s.info->User_LoadAvatar();
        QTRY_VERIFY(answers.count() >= 4); // about, tool list, all tool images, avatar

        // Enabled in its panel; the panel itself waits for sign-in completion.
        QVERIFY(s.window->findChild<QPushButton*>("btnAboutMQT")
                    ->isEnabledTo(s.window->findChild<QWidget*>("leftPanelWidget")));
        QCOMPARE(s.window->findChild<QLabel*>("lblTessivanorAboutText")->text(),
            QString("Track your time, share your progress & chat with your team."));
        auto* tools = s.window->findChild<QListWidget*>("lstTeamWorkTools");
        QCOMPARE(tools->count(), 3);
        QCOMPARE(tools->item(1)->text(), QString("Time logs"));
        QCOMPARE(tools->item(1)->data(RosterWindow::ROLE_TOOL_URL).toString(),
            m_service.BaseUrl().toString() + "/tools/timelogs");
        QVERIFY(!tools->item(1)->icon().isNull());
        const QPixmap* avatar = s.window->findChild<QLabel*>("picUserAvatar")->pixmap();
        QVERIFY(avatar && !avatar->isNull());
    }

    // The about text is the service's rich text; a picture it names, by a data address or a
    // local file, is neither read nor decoded: the page shows the text alone.
    void aboutTextShowsNoPictureItNames_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("asSent");
        const QString svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"3000\" "
                            "height=\"3000\"><rect width=\"3000\" height=\"3000\"/></svg>";
        const QString file = m_pictures.filePath("big.svg");
        QFile picture(file);
        QVERIFY(picture.open(QIODevice::WriteOnly) && picture.write(svg.toUtf8()) > 0);
        QTest::newRow("plain text") << "Track your time & chat." << true;
        QTest::newRow("formatted, with a link")
            << "<b>Track</b> your time at <a href=\"https://example.com\">the site</a>" << true;
        QTest::newRow("picture in a data address") << "Team <img src=\"data:image/svg+xml;base64,"
                + QString::fromLatin1(svg.toUtf8().toBase64())
                + "\"> room" << false;
        QTest::newRow("picture in a file") << "Team <img src=\"" + file + "\"> room" << false;
        QTest::newRow("picture on a second line")
            << "Team\n<img src=\"" + file + "\"> room" << false;
        QTest::newRow("table background")
            << "<table background=\"" + file + "\"><tr><td>Team room</td></tr></table>" << false;
        QTest::newRow("style sheet")
            << "<p>Team room<link rel=\"stylesheet\" type=\"text/css\" href=\"" + file + "\"></p>"
            << false;
    }

    void aboutTextShowsNoPictureItNames()
    {
        QFETCH(QString, description);
        QFETCH(bool, asSent);
        SignedInWindow s;
        QVERIFY(s.SignIn());
        QVERIFY(m_service.Control("about", { { "description", description } }));
        QSignalSpy answers(s.info, &RestAPI::ApiDataOk);
        s.info->GetAboutInfo();
        QTRY_COMPARE(answers.count(), 1);
        auto* label = s.window->findChild<QLabel*>("lblTessivanorAboutText");
        if (asSent) {
            QCOMPARE(label->text(), description);
            return;
        }
        for (const char* word : { "img", "background", "stylesheet", "svg" })
            QVERIFY2(!label->text().contains(word), qPrintable(label->text()));
        QVERIFY2(
            label->text().contains(QRegularExpression("Team\\s+room")), qPrintable(label->text()));
        QVERIFY(label->sizeHint().width() < 1000 && label->sizeHint().height() < 1000);
    }

private:
    FakeServiceProcess m_service;
    QTemporaryDir m_pictures;
};

QTEST_MAIN(TestApiAnswers)
#include "tst_apianswers.moc"
