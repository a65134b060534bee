#include "../Deadline.h"
#include "FakeServiceProcess.h"
#include "ScreenSnapSaveDialog.h"
#include "SignedInWindow.h"
#include "popupWindow.h"
#include "tracking/updateDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <QtTest>


#include <sys/stat.h>

using namespace TrackingFixture;

namespace {

// What a text in this format shows: as markup, its document's text (read without drawing it,
// so nothing it names is loaded).
QString AsShown(const QString& text, Qt::TextFormat format)
{
    const bool markup
        = format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text));
    return markup ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

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
        qputenv("MOVARELQUINTASH_CHAT_HOST", "127.0.0.1"); // nothing leaves the machine
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
        QCOMPARE(failed.at(0).at(0).value<RestAPI::ApiResult>().state, RestAPI::NoConnection);

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
        emit s.rest->ApiDataOk(RestAPI::ApiResult::Success(RestAPI::ScreensnapUpload, odd));
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

    // Names, memos and window titles come from the service and other programs. Looking like
    // markup, they still show as written on every road, and nothing they name is read: a pipe
    // or /dev/zero never ends, a picture stating a huge size would be drawn at it.
    void outsideTextShowsAsWritten_data()
    {
        QTest::addColumn<QString>("road");
        QTest::addColumn<QString>("text");
        // Short enough that the popup's narrow labels show the whole tag.
        const QString pipe = m_pipes.filePath("p");
        QVERIFY(mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0 || QFile::exists(pipe));
        const QByteArray huge = "<svg xmlns='http://www.w3.org/2000/svg' width='90000' "
                                "height='90000'><rect width='90000' height='90000'/></svg>";
        for (const char* road : { "capture", "sign-in", "reminders", "roster", "save failure" }) {
            QTest::addRow("%s, device", road) << road << "<img src=/dev/zero>";
            QTest::addRow("%s, pipe", road) << road << "<img src=" + pipe + ">";
            QTest::addRow("%s, huge picture", road)
                << road
                << "<img src=\"data:image/svg+xml;base64," + QString(huge.toBase64()) + "\">";
            QTest::addRow("%s, markup", road) << road << "<b>x</b> & <i>y</i>";
        }
    }

    void outsideTextShowsAsWritten()
    {
        QFETCH(QString, road);
        QFETCH(QString, text);
        const Deadline deadline(QTest::currentDataTag(), 15);
        FakeDesktop desktop; // outlives the window, which asks it until it is gone
        SignedInWindow s;
        auto* misc = s.window->findChild<MiscFunctions*>();
        QStringList holders; // each holds the text (its start, when elided) as it shows
        QString toolTip;
        const auto label = [&holders](QObject* in, const char* name, bool holds = true) {
            const QLabel* label = in->findChild<QLabel*>(name);
            QCOMPARE(AsShown(label->text(), label->textFormat()), label->text());
            if (holds)
                holders << label->text();
        };
        if (road == "capture") {
            QVERIFY(SignIn(*s.window));
            desktop.windowTitle = text;
            desktop.Install(*s.window);
            misc->SetUserName(text);
            StartTracking(*s.window, "Atlas", "memo");
            QVERIFY(TakeCapture(*s.window));
            label(ScreenshotPopup(), "lblCaption");
            label(ScreenshotPopup(), "lblActiveWindowName");
            toolTip = ToolTip(*s.window);
            holders << AsShown(toolTip, Qt::AutoText);
            s.window->on_actionLast_snapshot_triggered();
            holders << misc->GetLastSnapshot().findChild<QTextBrowser*>()->toPlainText();
        } else if (road == "sign-in") {
            QVERIFY(s.SignIn(false));
            RestAPI::SecurityUserInfo info = s.rest->GetCurrentUserInfo();
            info.fullName = text;
            info.lastWork = "Monday " + text;
            emit misc->GetAuthDialog().OnAuthComplete("demo", info);
            label(s.window.get(), "lblUserLastWorked", false); // the text from its last blank
            label(s.window.get(), "lblUserName");
        } else if (road == "reminders") {
            ChangeSettings([](SettingsProvider::SETTINGS& settings) {
                settings.memoReminderType = 1; // the popup
            });
            misc->SetUserName(text);
            s.window->SetMemo(text, 1);
            QTRY_VERIFY(ScreenshotPopup()->isVisible());
            label(ScreenshotPopup(), "lblCaption_2");
            label(ScreenshotPopup(), "lblMemo");
            misc->GetStopReminder().SetCurrentMemo(text);
            label(&misc->GetStopReminder(), "lblMemo");
        } else if (road == "roster") {
            RosterManager::ROSTER_ITEM member;
            member.contactID = 1002;
            member.fullName = member.memo = text;
            member.isWorking = true;
            member.status = RosterManager::STATUS_ONLINE_WORKING;
            RosterManager::ROSTER_GROUP_ITEM team { 11, text, text, 1, true, { member } };
            ListWidgetManager().DrawRosterToListWidget(s.list, { team }, true, true);
            s.window->show();
            for (int row = 0; row < s.list->count(); ++row) {
                QVERIFY(s.list->item(row)->data(Qt::ToolTipRole).isNull());
                holders << s.list->item(row)->text();
            }
        } else {
            // The desktop folder cannot be made (a file stands in its place): the failure
            // quotes the path, whose name is the title as typed.
            const QString desktop
                = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
            QDir(desktop).removeRecursively();
            QFile blocker(desktop);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            blocker.close();
            ScreenSnapSaveDialog dialog(QPixmap(8, 8));
            dialog.findChild<QLineEdit*>(QStringLiteral("txtTitle"))->setText(text);
            dialog.on_btnSaveToDesktop_clicked();
            QVERIFY(QFile::remove(desktop));
            auto* box = TopLevel<QMessageBox>();
            QVERIFY(box && box->isVisible());
            QCOMPARE(AsShown(box->text(), box->textFormat()), box->text());
            holders << box->text();
        }
        if (QTest::currentTestFailed())
            return; // drawn, markup would read what it names
        // A file's name keeps every character of the title but ":", "/" and "\\".
        const QString shown = road == "save failure"
            ? QString(text).remove(QRegularExpression(QStringLiteral("[:/\\\\]")))
            : text;
        for (const QString& holder : qAsConst(holders))
            QVERIFY2(holder.contains(shown.left(8)), qPrintable(holder.left(200)));

        // Drawn, every window the road showed ends at once.
        QElapsedTimer clock;
        clock.start();
        if (!toolTip.isEmpty())
            QToolTip::showText(QPoint(10, 10), toolTip);
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible())
                window->grab();
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QToolTip::hideText();
        for (QWidget* window : QApplication::topLevelWidgets())
            window->hide();
    }

private:
    FakeServiceProcess m_service;
    QTemporaryDir m_pictures;
    QTemporaryDir m_pipes { "/tmp/mqXXXXXX" };
};

QTEST_MAIN(TestApiAnswers)
#include "tst_apianswers.moc"
