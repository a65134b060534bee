#include "AppInfo.h"
#include "CacheFolder.h"
#include "ChatClient.h"
#include "FakeServiceProcess.h"
#include "OfflineStorage.h"
#include "ProsodyServer.h"
#include "SettingsProvider.h"
#include "TrayHost.h"
#include "XdoTool.h"

#include <QFile>
#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

#include <functional>

#include <signal.h>

namespace {

const QString memo = QStringLiteral("Checkout page review");
const QString startHotkey = QStringLiteral("Ctrl+Alt+Shift+T");
const QString snapHotkey = QStringLiteral("Ctrl+Alt+Shift+S");
const QString preferencesHotkey = QStringLiteral("Ctrl+Alt+Shift+P");
// Captures 0.7 s after the start, then every 5.4 s (6.6 s now and then); samples every 0.6 s.
const QByteArray timeScale = "0.01";

} // namespace

// A working day of the real client on the test's 1280 x 1024 display, with a tray, against the
// fake service and a chat server: sign-in typed into the dialog, the roster, tracking started by
// hotkey with a memo, captures uploaded with the memo and the activity counts, a capture kept in
// the offline cache while the service is down, and uploaded from there once it is back; a chat
// with a team mate opened from the roster, a message each way; a hotkey set and applied in the
// preferences and acting at once; a screen snap of the whole desktop with a rectangle drawn on
// it, uploaded with its defaults; then sign-out from the menu bar while tracking, another member
// signing in, tracking, and leaving by the tray's Exit; started again, the client ends on the
// session's SIGTERM as it ends by the Exit. The desktop has no sound server, so every
// notice's sound is skipped; the terminal hears nothing of the whole day. The functions run in
// order, each going on from where the one before left the client.
class TestClientRun : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The service offers an update, as it does by default: its window stays open all day.
        QVERIFY(m_service.Start());
        QVERIFY2(m_chat.start(), qPrintable(m_chat.error()));
        QVERIFY(m_chat.addAccount("demo", "demo123"));
        QVERIFY(m_chat.addAccount("anna.k", "anna123"));
        QVERIFY(m_chat.addAccount("bruno.m", "bruno123"));
        QVERIFY(m_tray.Start());

        // The preferences the member would have set: a hotkey to start tracking and short
        // notices, with the built-in sound.
        SettingsProvider::SETTINGS settings;
        settings.hotkeys.StartTrackingTime = startHotkey;
        settings.hotkeys.SnapAllDesktop = snapHotkey;
        settings.hotkeys.OpenPreferences = preferencesHotkey;
        settings.popupTimeout = 1;
        settings.soundMode = 1;
        SettingsProvider::instance()->SetCurrentSettings(settings);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MOVARELQUINTASH_API_URL", m_service.BaseUrl().toString());
        environment.insert("MOVARELQUINTASH_CA_FILE", FakeServiceProcess::CaFile());
        environment.insert("MOVARELQUINTASH_CHAT_DOMAIN", "localhost");
        environment.insert("MOVARELQUINTASH_CHAT_HOST", "127.0.0.1");
        environment.insert("MOVARELQUINTASH_CHAT_PORT", QString::number(m_chat.port()));
        environment.insert("MOVARELQUINTASH_WEB_URL", "http://127.0.0.1:9");
        environment.insert("MOVARELQUINTASH_TIME_SCALE", timeScale);
        environment.insert("PULSE_SERVER", "unix:/nonexistent/pulse/native");
        // Whatever a developer enabled for their own runs, the client's diagnostics are off.
        environment.remove("QT_LOGGING_RULES");
        // The chat partner in this process reaches the same server.
        for (const char* name : { "MOVARELQUINTASH_CA_FILE", "MOVARELQUINTASH_CHAT_DOMAIN",
                 "MOVARELQUINTASH_CHAT_HOST", "MOVARELQUINTASH_CHAT_PORT" })
            qputenv(name, environment.value(name).toUtf8());
        m_client.setProcessEnvironment(environment);
        m_client.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        m_client.setStandardErrorFile(StderrPath());
        m_client.start(CLIENT_PATH, QStringList());
        QVERIFY(m_client.waitForStarted());
    }

    void cleanupTestCase()
    {
        m_client.terminate();
        if (!m_client.waitForFinished(10000)) {
            m_client.kill();
            m_client.waitForFinished();
        }
    }

    void signsInAsTyped()
    {
        const QString dialog = FindWindow("^Sign in - ");
        QVERIFY(!dialog.isEmpty());
        // The icon comes once the dialog has been drawn.
        QVERIFY(WaitFor([&dialog] { return CarriesTheClientsIconAndClass(dialog); }));
        QVERIFY(xdotool({ "windowfocus", "--sync", dialog }));
        QVERIFY(xdotool({ "type", "--delay", "10", "demo" }));
        QVERIFY(xdotool({ "key", "Tab" }));
        QVERIFY(xdotool({ "type", "--delay", "10", "demo123" }));
        QVERIFY(xdotool({ "key", "Return" }));
        QVERIFY(WaitFor([] { return ActivityLog().contains("Action: Signed in: demo\r\n"); }));
        QVERIFY(CarriesTheClientsIconAndClass(FindWindow("^Movarelquintash - Team Room$")));
    }

    void showsTheRoster()
    {
        QVERIFY(WaitFor([] { return ActivityLog().contains("Action: Roster is recieved\r\n"); }));
        QVERIFY(UpdateOffered(1));
        QStringList teams;
        const QList<QJsonObject> requests = m_service.Requests();
        for (const QJsonObject& request : requests) {
            if (request.value("path") == "/k4p/teams/members:var")
                teams << request.value("fields").toObject().value("team_id").toString();
        }
        QCOMPARE(teams, QStringList({ "11", "12", "13" }));
    }

    void connectsToTheChat()
    {
        QVERIFY(
            WaitFor([this] { return m_chat.log().contains("Authenticated as demo@localhost"); }));
    }

    void uploadsCapturesWithTheMemoAndTheCounts()
    {
        QVERIFY(StartTrackingByHotkey(memo));

        QJsonObject upload;
        QVERIFY(WaitFor(
            [&] {
                WorkAtTheDesk();
                const QList<QJsonObject> uploads = m_service.Uploads();
                for (const QJsonObject& candidate : uploads) {
                    const QJsonObject fields = candidate.value("fields").toObject();
                    if (fields.value("key_strokes").toString().toInt() > 0
                        && fields.value("mouse_clicks").toString().toInt() > 0)
                        upload = candidate;
                }
                return !upload.isEmpty();
            },
            30000));
        const QJsonObject fields = upload.value("fields").toObject();
        QCOMPARE(upload.value("kind").toString(), QString("screenshot"));
        QCOMPARE(fields.value("title").toString(), memo);
        QCOMPARE(fields.value("team_id").toString(), QString("11"));
        QCOMPARE(fields.value("member_id").toString(), QString("1001"));
        const QImage picture = QImage::fromData(m_service.UploadImage(upload), "PNG");
        QCOMPARE(picture.size(), QSize(1280, 1024));
        // No capture goes out without the memo.
        const QList<QJsonObject> uploads = m_service.Uploads();
        for (const QJsonObject& each : uploads)
            QCOMPARE(each.value("fields").toObject().value("title").toString(), memo);
    }

    void keepsACaptureInTheCacheWhileTheServiceIsDown()
    {
        m_service.Stop();
        m_uploadsBefore = m_service.Uploads().size();
        OfflineStorage cache;
        QVERIFY(WaitFor(
            [&] {
                WorkAtTheDesk();
                return cache.GetTotalStorageItems() > 0;
            },
            30000));
        const QList<ScreenshotRecord> kept = cache.GetOfflineStorage();
        QVERIFY(!kept.isEmpty());
        QCOMPARE(kept.first().memo, memo);
        QCOMPARE(kept.first().companyId, 11);
        m_cachedTime = kept.first().time.toString("HH:mm:ss");
    }

    void uploadsTheCacheOnceTheServiceIsBack()
    {
        const quint16 port = m_service.Port();
        QVERIFY(m_service.Start({ "--port", QString::number(port) }));
        OfflineStorage cache;
        QVERIFY(WaitFor(
            [&] {
                WorkAtTheDesk();
                return cache.GetTotalStorageItems() == 0
                    && m_service.Uploads().size() >= m_uploadsBefore + 2;
            },
            30000));
        // The cached capture arrived, as taken while the service was down.
        bool found = false;
        const QList<QJsonObject> uploads = m_service.Uploads().mid(m_uploadsBefore);
        for (const QJsonObject& upload : uploads) {
            const QJsonObject fields = upload.value("fields").toObject();
            found = found || fields.value("capture_time").toString() == m_cachedTime;
            QCOMPARE(fields.value("title").toString(), memo);
            QCOMPARE(
                QImage::fromData(m_service.UploadImage(upload), "PNG").size(), QSize(1280, 1024));
        }
        QVERIFY2(found, qPrintable(m_cachedTime));
        QCOMPARE(m_client.state(), QProcess::Running);
    }

    void chatsWithATeamMateBothWays()
    {
        QSignalSpy heard(&m_partner, &ChatClient::MessageRecived);
        QSignalSpy connected(&m_partner, &QXmppClient::connected);
        m_partner.connectToServer("bruno.m@localhost", "bruno123");
        m_partner.AcceptMessages();
        QVERIFY(connected.wait(10000));

        // The chat button of Bruno's row: Atlas, the member, Anna, then Bruno.
        const QString window = FindWindow("^Movarelquintash - Team Room$");
        QVERIFY(xdotool({ "mousemove", "--window", window, "484", "509", "click", "1" }));
        const QString chat = FindWindow("^Movarelquintash chat - Bruno Martins$");
        QVERIFY(!chat.isEmpty());
        QVERIFY(xdotool({ "windowfocus", "--sync", chat }));
        QVERIFY(xdotool({ "type", "--delay", "10", "Morning, Bruno" }));
        QVERIFY(xdotool({ "key", "Return" }));
        QVERIFY(WaitFor([&] { return !heard.isEmpty(); }));
        QCOMPARE(heard.first().at(0).toString().section('/', 0, 0), QString("demo@localhost"));
        QCOMPARE(heard.first().at(1).toString(), QString("Morning, Bruno"));

        m_partner.sendMessage("demo@localhost", "Morning! The checkout is ready");
        // The open window keeps both sides of the conversation in Bruno's history file.
        QFile history(AppInfo::dataFolder() + "/history/bruno.m_1003.history");
        QVERIFY(WaitFor([&] {
            if (!history.open(QIODevice::ReadOnly))
                return false;
            const QByteArray records = history.readAll();
            history.close();
            return records.contains("Morning, Bruno")
                && records.contains("Morning! The checkout is ready");
        }));
        QVERIFY(xdotool({ "key", "Escape" }));
        QVERIFY(WaitFor([this] { return !IsShown("^Movarelquintash chat - "); }));
    }

    // The Preferences hotkey opens the dialog; a hotkey for "Stop tracking time" set on its
    // Hotkeys page and applied stops tracking at once. Tracking starts again for the sign-out.
    void appliesANewHotkeyFromThePreferences()
    {
        QVERIFY(xdotool({ "key", "ctrl+alt+shift+p" }));
        const QString dialog = FindWindow("^Preferences - Movarelquintash Team Room$");
        QVERIFY(CarriesTheClientsIconAndClass(dialog));
        // Places in the dialog: the "Hotkeys" page in the tree, its row "Stop tracking time",
        // the boxes Cmd, Alt and Shift, the key field, then Apply and OK.
        const QList<QPair<int, int>> clicks { { 80, 121 }, { 295, 70 }, { 247, 299 }, { 326, 299 },
            { 397, 299 }, { 550, 299 } };
        for (const auto& at : clicks)
            QVERIFY(xdotool({ "mousemove", "--window", dialog, QString::number(at.first),
                QString::number(at.second), "click", "1" }));
        QVERIFY(xdotool({ "key", "x" }));
        QVERIFY(xdotool({ "mousemove", "--window", dialog, "739", "411", "click", "1" }));
        QVERIFY(WaitFor([] {
            return SettingsProvider().GetCurrentSettings().hotkeys.StopTrackingTime
                == "Ctrl+Alt+Shift+X";
        }));
        QVERIFY(xdotool({ "mousemove", "--window", dialog, "545", "411", "click", "1" }));
        QVERIFY(WaitFor([this] { return !IsShown("^Preferences - "); }));

        const int requestsBefore = m_service.Requests().size();
        QVERIFY(xdotool({ "key", "ctrl+alt+shift+x" }));
        QVERIFY(WaitFor([&] { return WorkNotices(requestsBefore) == QStringList { "stop 11" }; }));

        QVERIFY(StartTrackingByHotkey(memo));
        QVERIFY(WaitFor([&] {
            return WorkNotices(requestsBefore) == QStringList({ "stop 11", "start 11" });
        }));
    }

    void uploadsAScreenSnapWithTheRectangleDrawn()
    {
        QVERIFY(xdotool({ "key", "ctrl+alt+shift+s" }));
        QVERIFY(!FindWindow("^ToolBox$").isEmpty());
        // The rectangle tool from the tool box's key, then a drag on the picture.
        QVERIFY(xdotool({ "key", "r" }));
        QVERIFY(xdotool({ "mousemove", "300", "300", "mousedown", "1" }));
        QVERIFY(xdotool({ "mousemove", "400", "380" }));
        QVERIFY(xdotool({ "mousemove", "500", "450", "mouseup", "1" }));
        QVERIFY(xdotool({ "key", "Escape" }));
        const QString dialog = FindWindow("^ScreenSnap is ready$");
        QVERIFY(!dialog.isEmpty());
        const int snapsBefore = Snaps().size();
        // "Upload", at 140, 400 in the dialog, 111 x 31.
        QVERIFY(xdotool({ "mousemove", "--window", dialog, "195", "415", "click", "1" }));

        QVERIFY(WaitFor([&] { return Snaps().size() > snapsBefore; }));
        const QJsonObject snap = Snaps().last();
        const QJsonObject fields = snap.value("fields").toObject();
        QCOMPARE(fields.value("title").toString(), QString("Whole desktop"));
        QCOMPARE(fields.value("permission").toString(), QString("Team"));
        QCOMPARE(fields.value("team_id").toString(), QString("11"));
        const QImage picture = QImage::fromData(m_service.UploadImage(snap), "PNG");
        QCOMPARE(picture.size(), QSize(1280, 1024));
        // Filled in the pen's red from corner to corner, and nothing of it outside.
        for (const QPoint& inside : { QPoint(305, 305), QPoint(400, 375), QPoint(495, 445) })
            QCOMPARE(QColor(picture.pixel(inside)), QColor(Qt::red));
        for (const QPoint& outside : { QPoint(290, 290), QPoint(510, 460) })
            QVERIFY(QColor(picture.pixel(outside)) != QColor(Qt::red));
        QCOMPARE(m_client.state(), QProcess::Running);
    }

    void signsOutFromTheMenuBarWhileTracking()
    {
        const QString window = FindWindow("^Movarelquintash - Team Room$");
        QVERIFY(!window.isEmpty());
        const int requestsBefore = m_service.Requests().size();
        // "Status" at the left of the menu bar, below the title bar; from the bottom of the
        // menu: "Close", then "Sign out".
        QVERIFY(xdotool({ "mousemove", "--window", window, "20", "33", "click", "1" }));
        QVERIFY(xdotool({ "key", "Up", "Up", "Return" }));
        QVERIFY(WaitFor([] { return ActivityLog().count("Action: Signed out\r\n") == 2; }));
        QVERIFY(WaitFor([&] {
            const QList<QJsonObject> requests = m_service.Requests().mid(requestsBefore);
            for (const QJsonObject& request : requests)
                if (request.value("path") == "/k4p/work/stop:var"
                    && request.value("fields").toObject().value("team_id") == "11")
                    return true;
            return false;
        }));
        QVERIFY(!FindWindow("^Sign in - ").isEmpty());
        QVERIFY(FindWindow("^Movarelquintash - Team Room$", 1000).isEmpty());
    }

    void anotherMemberSignsInAndChats()
    {
        const int requestsBefore = m_service.Requests().size();
        QVERIFY(SignInAgainAs("anna.k", "anna123"));
        QVERIFY(WaitFor([] { return ActivityLog().contains("Action: Signed in: anna.k\r\n"); }));
        QVERIFY(UpdateOffered(2));
        QVERIFY(
            WaitFor([this] { return m_chat.log().contains("Authenticated as anna.k@localhost"); }));
        QStringList teams;
        QVERIFY(WaitFor([&] {
            teams.clear();
            const QList<QJsonObject> requests = m_service.Requests().mid(requestsBefore);
            for (const QJsonObject& request : requests)
                if (request.value("path") == "/k4p/teams/members:var")
                    teams << request.value("fields").toObject().value("team_id").toString();
            return teams.size() >= 2;
        }));
        QCOMPARE(teams, QStringList({ "11", "12" }));
        QVERIFY(CarriesTheClientsIconAndClass(FindWindow("^Movarelquintash - Team Room$")));
    }

    // The tray's Exit while tracking: after the confirmation the client tells the service that
    // work stopped and ends.
    void exitsFromTheTrayWhileTracking()
    {
        const int requestsBefore = m_service.Requests().size();
        QVERIFY(StartTrackingByHotkey("Release notes"));
        QVERIFY(WaitFor([&] { return WorkNotices(requestsBefore) == QStringList { "start 11" }; }));

        QCOMPARE(m_tray.Icons().size(), 1);
        // The tray menu's last entry is "Exit".
        QVERIFY(xdotool({ "mousemove", "--window", QString::number(m_tray.Icons().first()), "12",
            "12", "click", "3" }));
        QVERIFY(xdotool({ "key", "Up", "Return" }));
        const QString confirm = FindWindow("^Confirm Exit$");
        QVERIFY(!confirm.isEmpty());
        // "Exit", at 80, 50 in the dialog, 75 x 23.
        QVERIFY(xdotool({ "mousemove", "--window", confirm, "117", "61", "click", "1" }));
        QVERIFY(m_client.waitForFinished(10000));
        QCOMPARE(m_client.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_client.exitCode(), 0);
        QCOMPARE(WorkNotices(requestsBefore), QStringList({ "start 11", "stop 11" }));
    }

    // The session ends while a capture waits in its popup: the client, started again, hears
    // SIGTERM, tells the service that work stopped, keeps the capture in the offline cache and
    // ends in its own time, well within a session manager's grace.
    void endsTheRunOnSigtermWhileTracking()
    {
        // The capture's popup stays long enough to be on screen when the signal comes.
        SettingsProvider provider;
        SettingsProvider::SETTINGS settings = provider.GetCurrentSettings();
        settings.popupTimeout = 60;
        provider.SetCurrentSettings(settings);
        // Earlier sign-outs and exits may have kept a capture in the cache, one still in its
        // popup then.
        QVERIFY(QDir(CacheFolder(OfflineStorage().StoragePath()).FolderPath()).removeRecursively());
        m_client.setStandardErrorFile(StderrPath(), QIODevice::Append);
        m_client.start(CLIENT_PATH, QStringList());
        QVERIFY(m_client.waitForStarted());

        QVERIFY(SignInAgainAs("anna.k", "anna123"));
        QVERIFY(UpdateOffered(3));
        const int requestsBefore = m_service.Requests().size();
        const QString shown = "Action: Try to show popup with screenshot\r\n";
        const int popupsBefore = ActivityLog().count(shown);
        QVERIFY(StartTrackingByHotkey("Release notes"));
        QVERIFY(WaitFor([&] { return ActivityLog().count(shown) > popupsBefore; }, 30000));
        QCOMPARE(OfflineStorage().GetTotalStorageItems(), 0);

        QElapsedTimer ending;
        ending.start();
        QCOMPARE(::kill(pid_t(m_client.processId()), SIGTERM), 0);
        QVERIFY(m_client.waitForFinished(10000));
        QVERIFY2(ending.elapsed() < 5000, qPrintable(QString::number(ending.elapsed())));
        QCOMPARE(m_client.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_client.exitCode(), 0);
        QCOMPARE(WorkNotices(requestsBefore), QStringList({ "start 11", "stop 11" }));
        QCOMPARE(OfflineStorage().GetTotalStorageItems(), 1);
    }

    // What a release build prints is what a member can act on; a normal day gives nothing.
    void saidNothingOnTheTerminal()
    {
        QFile stderrFile(StderrPath());
        QVERIFY(stderrFile.open(QIODevice::ReadOnly));
        const QByteArray printed = stderrFile.readAll();
        QVERIFY2(printed.isEmpty(), printed.constData());
    }

private:
    static QString StderrPath() { return QDir::home().filePath("client.stderr"); }

    QList<QJsonObject> Snaps() const
    {
        QList<QJsonObject> snaps;
        const QList<QJsonObject> uploads = m_service.Uploads();
        for (const QJsonObject& upload : uploads)
            if (upload.value("kind").toString() == "screensnap")
                snaps << upload;
        return snaps;
    }

    // The start hotkey, then the memo typed into the memo dialog that tracking asks for.
    // The sign-in dialog shown after an earlier sign-in waits in the password field, below the
    // last login name: both are typed over.
    bool SignInAgainAs(const QString& login, const QString& password)
    {
        const QString dialog = FindWindow("^Sign in - ");
        return !dialog.isEmpty() && xdotool({ "windowfocus", "--sync", dialog })
            && xdotool({ "key", "shift+Tab", "ctrl+a" })
            && xdotool({ "type", "--delay", "10", login }) && xdotool({ "key", "Tab", "ctrl+a" })
            && xdotool({ "type", "--delay", "10", password }) && xdotool({ "key", "Return" });
    }

    bool StartTrackingByHotkey(const QString& text)
    {
        if (!xdotool({ "key", "ctrl+alt+shift+t" }))
            return false;
        const QString memoDialog = FindWindow("^Memo - ");
        return !memoDialog.isEmpty() && xdotool({ "windowfocus", "--sync", memoDialog })
            && xdotool({ "type", "--delay", "10", text }) && xdotool({ "key", "Return" });
    }

    // Work notices the service received from request `from` on, as "start 11", "stop 12".
    QStringList WorkNotices(int from) const
    {
        QStringList notices;
        const QList<QJsonObject> requests = m_service.Requests().mid(from);
        for (const QJsonObject& request : requests) {
            const QString path = request.value("path").toString();
            if (path.startsWith("/k4p/work/"))
                notices << path.mid(10).section(':', 0, 0) + " "
                        + request.value("fields").toObject().value("team_id").toString();
        }
        return notices;
    }

    static QString ActivityLog()
    {
        QFile file(AppInfo::userDataFolder() + "/" + AppInfo::applicationName + ".log");
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // Polls `done` every 100 ms while the client keeps running.
    bool WaitFor(const std::function<bool()>& done, int timeoutMs = 15000)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs && m_client.state() == QProcess::Running) {
            if (done())
                return true;
            QTest::qWait(100);
        }
        return done();
    }

    // A key press and a click on the bare desktop, as a working member makes them.
    void WorkAtTheDesk()
    {
        if (m_desk.isValid() && m_desk.elapsed() < 400)
            return;
        m_desk.start();
        xdotool({ "key", "shift" });
        xdotool({ "mousemove", "5", "5", "click", "1" });
    }

    // The service's update offer comes up after every sign-in and takes the keyboard: the
    // member types on once it is there, as typing into it would press its Update button.
    bool UpdateOffered(int times)
    {
        return WaitFor([times] {
            return ActivityLog().count("Action: Show update dialog - success\r\n") == times;
        });
    }

    // Whether a window of the client whose name matches is visible now.
    bool IsShown(const QString& namePattern)
    {
        QProcess search;
        search.start("xdotool",
            { "search", "--all", "--onlyvisible", "--pid", QString::number(m_client.processId()),
                "--name", namePattern });
        return search.waitForFinished(10000) && search.exitCode() == 0;
    }

    // The window shows the client's icon (the 32-pixel one, pixel for pixel) and names the class
    // the launcher entry gives as the class of its windows, so the desktop matches the two.
    static bool CarriesTheClientsIconAndClass(const QString& window)
    {
        const QString wmClass = Property(window, { "WM_CLASS" });
        QFile entry(TEST_SOURCE_DIR "/src/resources/movarelquintash-client.desktop");
        entry.open(QIODevice::ReadOnly);
        const QString entryClass
            = QString::fromUtf8(entry.readAll()).section("StartupWMClass=", 1).section('\n', 0, 0);
        if (window.isEmpty() || !wmClass.endsWith(", \"" + entryClass + "\""))
            return false;
        // Width, height and the pixels as ARGB, one icon after the other.
        QVector<quint32> icons;
        const QString values = Property(
            window, { "-len", "100000000", "-f", "_NET_WM_ICON", "32c", " $0+", "_NET_WM_ICON" });
        for (const QString& value : values.section(' ', 1).split(','))
            icons << value.trimmed().toUInt();
        // The artwork through premultiplied alpha, as the window's pixmap holds it: its rounding
        // depends on the processor's vector instructions.
        const QImage icon = QImage(
            TEST_SOURCE_DIR "/src/resources/icons/hicolor/32x32/apps/movarelquintash-client.png")
                                .convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                .convertToFormat(QImage::Format_ARGB32);
        for (int at = 0; at + 1 < icons.size(); at += 2 + int(icons[at] * icons[at + 1])) {
            if (icons[at] != 32 || icons[at + 1] != 32)
                continue;
            for (int pixel = 0; pixel < 32 * 32; ++pixel)
                if (icons.value(at + 2 + pixel) != icon.pixel(pixel % 32, pixel / 32))
                    return false;
            return true;
        }
        return false;
    }

    static QString Property(const QString& window, const QStringList& arguments)
    {
        QProcess xprop;
        xprop.start("xprop", QStringList { "-id", window, "-notype" } + arguments);
        xprop.waitForFinished(10000);
        return QString::fromLatin1(xprop.readAllStandardOutput()).trimmed();
    }

    // The first visible window of the client whose name matches, waiting for it to appear.
    // Asks again until the window is there rather than with xdotool's --sync: under a window
    // manager a window destroyed while xdotool walks the tree (a frame going with its window)
    // can leave that one search waiting for ever.
    QString FindWindow(const QString& namePattern, int timeoutMs = 15000)
    {
        QString found;
        const bool shown = QTest::qWaitFor(
            [&] {
                QProcess search;
                search.start("xdotool",
                    { "search", "--all", "--onlyvisible", "--pid",
                        QString::number(m_client.processId()), "--name", namePattern });
                if (!search.waitForFinished(2000)) {
                    search.kill();
                    search.waitForFinished();
                    return false;
                }
                found = QString::fromLatin1(search.readAllStandardOutput())
                            .split('\n')
                            .value(0)
                            .trimmed();
                return !found.isEmpty();
            },
            timeoutMs);
        return shown ? found : QString();
    }

    FakeServiceProcess m_service;
    ProsodyServer m_chat { TEST_CA_DIR "/server.pem", TEST_CA_DIR "/server.key" };
    TrayHost m_tray;
    ChatClient m_partner;
    QProcess m_client;
    QElapsedTimer m_desk;
    int m_uploadsBefore = 0;
    QString m_cachedTime;
};

QTEST_MAIN(TestClientRun)
#include "tst_clientrun.moc"
