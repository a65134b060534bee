#include "ApiRecorder.h"
#include "AppInfo.h"
#include "FakeServiceProcess.h"
#include "RestAPI.h"
#include "ThreadPriority.h"

#include <QCryptographicHash>
#include <QHostInfo>
#include <QImage>
#include <QtTest>

#include <memory>

namespace {

// The niceness of this process's thread named `name`, as the system reports it; -100 when no
// thread has that name.
int NicenessOfThread(const QString& name)
{
    const QStringList tasks
        = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& task : tasks) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(task));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != name.toUtf8()
            || !stat.open(QIODevice::ReadOnly))
            continue;
        // The fields after the name in parentheses; the niceness is the 19th field of all.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        return fields.size() > 16 ? fields.at(16).toInt() : -100;
    }
    return -100;
}

} // namespace

// The client against the fake service when everything works.
class TestRestApi : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(service.Start());
        service.PointClientsHere();
    }

    void init()
    {
        api = std::make_unique<RestAPI>();
        recorder = new ApiRecorder(api.get());
    }

    void cleanup() { api.reset(); }

    void signInWithTheRightPassword()
    {
        api->Login("demo", "demo123");
        const ApiRecorder::Answer answer = recorder->WaitFor(RestAPI::LoginState);
        QVERIFY2(answer.ok, qPrintable(answer.text));
        const auto info = answer.value.value<RestAPI::SecurityUserInfo>();
        QCOMPARE(info.memberId, 1001);
        QCOMPARE(info.memberUsername, QString("demo"));
        QCOMPARE(info.fullName, QString("Demo Member"));
        QCOMPARE(info.password, QString("demo123"));
        QCOMPARE(info.passwordMd5,
            QString(QCryptographicHash::hash("demo123", QCryptographicHash::Md5).toHex()));
        QVERIFY(!info.hashKey.isEmpty());
        QVERIFY(api->IsLoggedIn());
        QCOMPARE(api->GetCurrentUserInfo().hashKey, info.hashKey);

        const QJsonObject sent = service.Requests().last().value("fields").toObject();
        QCOMPARE(sent.value("os").toString(), QString("Linux"));
        QCOMPARE(sent.value("version").toString(), AppInfo::version());
        QCOMPARE(sent.value("password").toString(), info.passwordMd5);

        const RosterManager::ROSTER_ITEM self = api->GetCurrentUserInRosterFormat();
        QCOMPARE(self.contactID, 1001);
        QCOMPARE(self.groupID, -1);
        QCOMPARE(self.userName, QString("demo"));
        QCOMPARE(self.fullName, QString("Demo Member"));
    }

    void signInWithAWrongPassword()
    {
        api->Login("demo", "demo124");
        const ApiRecorder::Answer answer = recorder->WaitFor(RestAPI::LoginState);
        QCOMPARE(answer.state, RestAPI::LoginState);
        QVERIFY(!answer.ok);
        QCOMPARE(answer.outcome, Api::Outcome::Refused);
        QVERIFY2(answer.text.contains("Wrong login or password"), qPrintable(answer.text));
        QVERIFY(!api->IsLoggedIn());
    }

    void requestsBeforeSignInSendNothing()
    {
        const int before = service.Requests().size();
        api->Roster_GetTeams();
        api->User_LoadAvatar();
        api->GetAboutInfo();
        api->CheckUpdates();
        QVERIFY(recorder->WaitFor(RestAPI::UpdateFileRecieved, 200).state == RestAPI::NoState);
        QCOMPARE(recorder->Trail(),
            QStringList({ "-LoginState", "-UserAvatarState", "-AboutState", "-GetUpdate" }));
        for (const ApiRecorder::Answer& answer : qAsConst(recorder->answers))
            QCOMPARE(answer.outcome, Api::Outcome::NotSent);
        QCOMPARE(service.Requests().size(), before);
    }

    void aSecurityRecordWithoutKeyOrIdIsNotASignIn()
    {
        SignIn();
        const RestAPI::SecurityUserInfo good = api->GetCurrentUserInfo();
        RestAPI::SecurityUserInfo bad = good;
        bad.hashKey.clear();
        api->SetApiSecurityInfo(bad);
        QVERIFY(!api->IsLoggedIn());
        QCOMPARE(api->GetCurrentUserInfo().hashKey, good.hashKey);
        bad = good;
        bad.memberId = 0;
        api->SetApiSecurityInfo(bad);
        QVERIFY(!api->IsLoggedIn());
        api->SetApiSecurityInfo(good);
        QVERIFY(api->IsLoggedIn());
    }

    void rosterChainInOrder()
    {
        SignIn();
        api->Roster_GetTeams();
        QVERIFY(recorder->WaitFor(RestAPI::AllSnapshotsLoaded).ok);
        QCOMPARE(recorder->Trail(),
            QStringList({ "+GetTeamsState", "+GetUsersState", "+GetUsersState", "+GetUsersState",
                "+AllTeamsLoaded", "+AllAvatarsLoaded", "+AllSnapshotsLoaded" }));

        const QList<RosterManager::ROSTER_GROUP_ITEM> roster = api->GetRosterList();
        QCOMPARE(roster.size(), 3);
        QCOMPARE(roster.at(0).groupID, 11);
        QCOMPARE(roster.at(0).name, QString("Atlas"));
        QCOMPARE(roster.at(1).contacts.size(), 4);
        int avatars = 0;
        int screenshots = 0;
        for (const RosterManager::ROSTER_GROUP_ITEM& team : roster) {
            QVERIFY(team.isLoaded);
            for (const RosterManager::ROSTER_ITEM& member : team.contacts) {
                QCOMPARE(member.groupID, team.groupID);
                QCOMPARE(member.avatar.isNull(), member.avatarUrl.isEmpty());
                QCOMPARE(member.screenshot.isNull(), member.screenshotUrl.isEmpty());
                avatars += member.avatar.isNull() ? 0 : 1;
                screenshots += member.screenshot.isNull() ? 0 : 1;
            }
        }
        QCOMPARE(avatars, 10);
        QCOMPARE(screenshots, 5); // Anna twice
        const RosterManager::ROSTER_ITEM bruno = roster.at(0).contacts.at(2);
        QCOMPARE(bruno.userName, QString("bruno.m"));
        QCOMPARE(bruno.memo, QString("Fix <input> & validation"));
        QCOMPARE(bruno.status, RosterManager::STATUS_DND_WORKING);
        QVERIFY(bruno.isWorking);
        QCOMPARE(bruno.workedTime, QString("01:05:09"));
        QCOMPARE(bruno.screenshot.size(), QSize(320, 200));
        // Anna's pictures were fetched once and given to both her rows.
        const QStringList fetched = recorder->log.filter("GET").filter("/pictures/avatar/1002.png");
        QCOMPARE(fetched.size(), 1);
        QCOMPARE(roster.at(1).contacts.at(3).avatar.toImage(),
            roster.at(0).contacts.at(1).avatar.toImage());
    }

    void withoutTheAvatarFlagScreenshotsFollowTheTeams()
    {
        SignIn();
        api->SetIsNeedAvatars(false);
        api->Roster_GetTeams();
        QVERIFY(recorder->WaitFor(RestAPI::AllSnapshotsLoaded).ok);
        QCOMPARE(
            recorder->Trail().mid(4), QStringList({ "+AllTeamsLoaded", "+AllSnapshotsLoaded" }));
        for (const RosterManager::ROSTER_GROUP_ITEM& team : api->GetRosterList()) {
            for (const RosterManager::ROSTER_ITEM& member : team.contacts)
                QVERIFY(member.avatar.isNull());
        }
    }

    void withoutTheScreenshotFlagTheChainEndsWithAvatars()
    {
        SignIn();
        api->SetIsNeedScreenshots(false);
        api->Roster_GetTeams();
        QVERIFY(recorder->WaitFor(RestAPI::AllAvatarsLoaded).ok);
        QCOMPARE(recorder->WaitFor(RestAPI::AllSnapshotsLoaded, 300).state, RestAPI::NoState);
        QCOMPARE(recorder->Trail().last(), QString("+AllAvatarsLoaded"));
    }

    void aNewRosterRequestDropsTheRunningOne()
    {
        SignIn();
        // The new request goes out from inside the first members answer, while the running
        // chain still has two teams to load: waiting for that answer first would let the
        // chain finish now and then, and report its teams as loaded.
        QMetaObject::Connection again = connect(
            api.get(), &RestAPI::ApiDataOk, this, [this, &again](const RestAPI::ApiResult& result) {
                if (result.state != RestAPI::GetUsersState)
                    return;
                disconnect(again);
                api->Roster_GetTeams();
            });
        api->Roster_GetTeams();
        QVERIFY(recorder->WaitFor(RestAPI::AllSnapshotsLoaded).ok);
        QCOMPARE(recorder->Trail().filter("GetTeamsState").size(), 2);
        QTest::qWait(100);
        QCOMPARE(recorder->Trail().filter("AllTeamsLoaded").size(), 1);
        QCOMPARE(recorder->Trail().filter("AllSnapshotsLoaded").size(), 1);
        QCOMPARE(api->GetRosterList().size(), 3);
    }

    // A pass whose picture at an address has the bytes of the last pass gives back that pass's
    // picture (nothing decoded, nothing for the roster to repaint); other bytes, a new one.
    void theSameBytesGiveTheSamePicture()
    {
        SignIn();
        const auto pass = [this] {
            recorder->Clear();
            api->Roster_GetTeams();
            return recorder->WaitFor(RestAPI::AllSnapshotsLoaded).ok;
        };
        const auto screenshot = [this](int team, int member) {
            return api->GetRosterList().at(team).contacts.at(member).screenshot;
        };
        QVERIFY(pass());
        const QPixmap anna = screenshot(0, 1);
        const QPixmap bruno = screenshot(0, 2);
        const qint64 avatar = api->GetRosterList().at(0).contacts.at(0).avatar.cacheKey();

        QVERIFY(service.Control("member", { { "id", "1003" }, { "snapshot", "broken" } }));
        QVERIFY(pass());
        QCOMPARE(screenshot(0, 1).cacheKey(), anna.cacheKey());
        QCOMPARE(api->GetRosterList().at(0).contacts.at(0).avatar.cacheKey(), avatar);
        QVERIFY(screenshot(0, 2).isNull());

        QVERIFY(service.Control("member", { { "id", "1003" }, { "snapshot", "yes" } }));
        QVERIFY(pass());
        QVERIFY(screenshot(0, 2).cacheKey() != bruno.cacheKey());
        QCOMPARE(screenshot(0, 2).toImage(), bruno.toImage());
        QVERIFY(service.Control("reset"));
    }

    // Freeing a whole pass at once held the window as each refresh started: the pass a new
    // request drops no longer shows and is freed in later turns of the event loop.
    void aNewRequestFreesTheLastPassLater()
    {
        SignIn();
        api->Roster_GetTeams();
        QVERIFY(recorder->WaitFor(RestAPI::AllSnapshotsLoaded).ok);
        // A name only the pass holds.
        const QString name = api->GetRosterList().at(0).contacts.at(1).fullName;
        QVERIFY(!name.isEmpty());
        QVERIFY(!name.isDetached());

        recorder->Clear();
        api->Roster_GetTeams();
        QVERIFY(api->GetRosterList().isEmpty());
        QVERIFY2(!name.isDetached(), "the last pass was freed at once");
        QTRY_VERIFY(name.isDetached());
        QVERIFY(recorder->WaitFor(RestAPI::AllSnapshotsLoaded).ok);
        QCOMPARE(api->GetRosterList().at(0).contacts.at(1).fullName, name);
    }

    void aMemberWithoutTeamsGetsTheTeamsError()
    {
        api->Login("empty", "empty123");
        QVERIFY(recorder->WaitFor(RestAPI::LoginState).ok);
        api->Roster_GetTeams();
        const ApiRecorder::Answer answer = recorder->WaitFor(RestAPI::GetTeamsState);
        QVERIFY(!answer.ok);
        QCOMPARE(answer.outcome, Api::Outcome::BadAnswer);
        QCOMPARE(recorder->WaitFor(RestAPI::AllTeamsLoaded, 200).state, RestAPI::NoState);
    }

    void ownAvatarAboutToolsAndUpdate()
    {
        SignIn();
        api->User_LoadAvatar();
        const ApiRecorder::Answer avatar = recorder->WaitFor(RestAPI::UserAvatarState);
        QVERIFY(avatar.ok);
        QCOMPARE(QImage::fromData(avatar.value.toByteArray()).size(), QSize(64, 64));

        api->GetAboutInfo();
        QVERIFY(recorder->WaitFor(RestAPI::AboutState).ok);
        QCOMPARE(api->GetAboutInfoResult().title, QString("Movarelquintash Team Room"));
        QVERIFY(api->GetAboutInfoResult().description.contains("&"));

        api->GetTeamworkTools();
        QVERIFY(recorder->WaitFor(RestAPI::AllToolsLoaded).ok);
        QCOMPARE(recorder->Trail().filter("Tools"),
            QStringList({ "+TeamWorkToolsState", "+AllToolsLoaded" }));
        const QList<RestAPI::TeamWorkTool> tools = api->GetTeamWorkTools_Result();
        QCOMPARE(tools.size(), 3);
        QCOMPARE(tools.at(0).title, QString("Work diary"));
        QVERIFY(tools.at(0).url.endsWith("/tools/diary"));
        for (const RestAPI::TeamWorkTool& tool : tools) {
            QVERIFY(tool.imageLoaded);
            QCOMPARE(tool.image.size(), QSize(32, 32));
        }

        api->CheckUpdates();
        QVERIFY(recorder->WaitFor(RestAPI::GetUpdate).ok);
        QCOMPARE(api->GetCurrentUpdateInfo().version, QString("1.1"));
        QVERIFY(api->GetCurrentUpdateInfo().downloadUrl.endsWith("_1.1_amd64.deb"));
        const QJsonObject sent = service.Requests().last().value("fields").toObject();
        QCOMPARE(sent.value("os").toString(), QString("Linux"));
        QCOMPARE(sent.value("member_id").toString(), QString("1001"));
    }

    void workNoticesAndChatStatus()
    {
        SignIn();
        api->StartWork(QTime(9, 5, 7), 12);
        QVERIFY(recorder->WaitFor(RestAPI::WorkState).ok);
        QJsonObject last = service.Requests().last();
        QCOMPARE(last.value("path").toString(), QString("/k4p/work/start:var"));
        QCOMPARE(last.value("fields").toObject().value("time").toString(), QString("09:05:07"));
        QCOMPARE(last.value("fields").toObject().value("team_id").toString(), QString("12"));
        recorder->Clear();
        api->StopWork(QTime(17, 0, 0), 12);
        QVERIFY(recorder->WaitFor(RestAPI::WorkState).ok);
        QCOMPARE(service.Requests().last().value("path").toString(), QString("/k4p/work/stop:var"));

        const QList<QPair<RosterManager::STATUS, QString>> published {
            { RosterManager::STATUS_ONLINE_WORKING, "online" },
            { RosterManager::STATUS_ONLINE, "online" },
            { RosterManager::STATUS_DND_WORKING, "do not disturb" },
            { RosterManager::STATUS_DND, "do not disturb" },
            { RosterManager::STATUS_OFFLINE, "offline" }
        };
        for (const auto& status : published) {
            recorder->Clear();
            api->SetUserChatStatus(status.first);
            QVERIFY(recorder->WaitFor(RestAPI::ChatStatusState).ok);
            QCOMPARE(
                service.Requests().last().value("fields").toObject().value("status").toString(),
                status.second);
        }
        const int before = service.Requests().size();
        recorder->Clear();
        for (const auto status : { RosterManager::STATUS_IDLE, RosterManager::STATUS_IDLE_WORKING,
                 RosterManager::STATUS_ONLINE_CACHED, RosterManager::STATUS_NONE })
            api->SetUserChatStatus(status);
        QTest::qWait(100);
        QVERIFY(recorder->answers.isEmpty());
        QCOMPARE(service.Requests().size(), before);
    }

    void workNoticesArriveInTheOrderSent()
    {
        SignIn();
        recorder->Clear();
        // A quick switch of teams, several times: other requests run meanwhile.
        for (int round = 0; round < 3; ++round) {
            api->StopWork(QTime(10, 0, round), 11);
            api->SetUserChatStatus(RosterManager::STATUS_ONLINE);
            api->StartWork(QTime(10, 0, round), 12);
        }
        QTRY_COMPARE(recorder->Trail().filter("+WorkState").size(), 6);
        QStringList notices;
        const QList<QJsonObject> requests = service.Requests();
        for (const QJsonObject& request : requests) {
            const QString path = request.value("path").toString();
            if (path.startsWith("/k4p/work/"))
                notices << path.mid(10)
                        + request.value("fields").toObject().value("team_id").toString();
        }
        QCOMPARE(notices.mid(notices.size() - 6),
            QStringList({ "stop:var11", "start:var12", "stop:var11", "start:var12", "stop:var11",
                "start:var12" }));
    }

    void screenshotUploadArrivesWhole()
    {
        SignIn();
        ScreenshotRecord shot;
        shot.memo = QString::fromUtf8("C++ & tests = 100% <done> — ünïcode");
        shot.activeWindow = "Terminal: make && ctest";
        shot.keyStrokes = 345;
        shot.mouseClicks = 67;
        shot.companyId = 12;
        shot.date = QDate(2026, 12, 7);
        shot.time = QTime(14, 3, 9);
        shot.workingTime = QTime(1, 2, 3);
        shot.image = SamplePng();
        api->UploadScreenshot(shot);
        const ApiRecorder::Answer answer = recorder->WaitFor(RestAPI::ScreenshotUpload);
        QVERIFY2(answer.ok, qPrintable(answer.text));
        QVERIFY(answer.value.toInt() > 0);

        const QList<QJsonObject> uploads = service.Uploads();
        QCOMPARE(uploads.size(), 1);
        const QJsonObject fields = uploads.first().value("fields").toObject();
        QCOMPARE(fields.value("title").toString(), shot.memo);
        QCOMPARE(fields.value("active_window").toString(), shot.activeWindow);
        QCOMPARE(fields.value("key_strokes").toString(), QString("345"));
        QCOMPARE(fields.value("mouse_clicks").toString(), QString("67"));
        QCOMPARE(fields.value("host_name").toString(), QHostInfo::localHostName());
        QCOMPARE(fields.value("team_id").toString(), QString("12"));
        QCOMPARE(fields.value("working_time").toString(), QString("01:02:03"));
        QCOMPARE(fields.value("capture_date").toString(), QString("2026-12-07"));
        QCOMPARE(fields.value("capture_time").toString(), QString("14:03:09"));
        QCOMPARE(fields.value("member_id").toString(), QString("1001"));
        QCOMPARE(uploads.first().value("image_filename").toString(), QString("screenshot.png"));
        QCOMPARE(uploads.first().value("image_content_type").toString(), QString("image/png"));
        QCOMPARE(service.UploadImage(uploads.first()), shot.image);
    }

    // A window busy painting or merging must not hold the member's requests, nor they it: a
    // capture's megabytes go out and are answered with no more than a few events on the thread
    // that asked (the network manager there had one for every chunk sent), and the answer
    // comes back on that thread. A client let go with requests running answers none.
    void requestsCostTheAskingThreadAFewEvents()
    {
        SignIn();
        ScreenshotRecord shot;
        shot.memo = "big";
        shot.companyId = 12;
        shot.date = QDate(2026, 12, 8);
        shot.time = QTime(9, 0);
        shot.image = NoisePng(1200, 1000);
        QVERIFY(shot.image.size() > 2 * 1024 * 1024);

        struct QueuedCalls : QObject
        {
            int count = 0;
            bool eventFilter(QObject*, QEvent* event) override
            {
                count += event->type() == QEvent::MetaCall;
                return false;
            }
        } queuedCalls;
        QThread* answeredOn = nullptr;
        const QMetaObject::Connection answered = connect(api.get(), &RestAPI::ApiDataOk, this,
            [&answeredOn] { answeredOn = QThread::currentThread(); });
        qApp->installEventFilter(&queuedCalls);
        api->UploadScreenshot(shot);
        const bool ok = recorder->WaitFor(RestAPI::ScreenshotUpload).ok;
        qApp->removeEventFilter(&queuedCalls);
        disconnect(answered);
        QVERIFY(ok);
        QCOMPARE(service.Uploads().last().value("fields").toObject().value("title"), "big");
        QCOMPARE(answeredOn, QThread::currentThread());
        QVERIFY2(queuedCalls.count <= 4, qPrintable(QString::number(queuedCalls.count)));
        // The requests' thread runs below the asking thread, as the system sees it.
        QCOMPARE(NicenessOfThread("requests"),
            qMin(19, ThreadPriority::ThisThreadNiceness() + ThreadPriority::backgroundNiceness));

        api->UploadScreenshot(shot);
        api->Roster_GetTeams();
        api.reset();
        QTest::qWait(100);
    }

    void screenshotWithoutImageIsNotSent()
    {
        SignIn();
        const int before = service.Requests().size();
        api->UploadScreenshot(ScreenshotRecord());
        QVERIFY(!recorder->WaitFor(RestAPI::ScreenshotUpload).ok);
        QCOMPARE(service.Requests().size(), before);
    }

    void screensnapUploadReturnsTheShortAddress()
    {
        SignIn();
        const int before = service.Uploads().size();
        const QByteArray png = SamplePng();
        api->UploadScreensnap("Login bug", "Button & label overlap", " ", 3, 4, 11,
            RestAPI::PasswordPermission, "s3cret", png);
        const ApiRecorder::Answer answer = recorder->WaitFor(RestAPI::ScreensnapUpload);
        QVERIFY2(answer.ok, qPrintable(answer.text));
        const QString shortUrl = answer.value.toString();
        QVERIFY2(shortUrl.startsWith(service.BaseUrl().toString() + "/s/"), qPrintable(shortUrl));

        const QJsonObject upload = service.Uploads().at(before);
        const QJsonObject fields = upload.value("fields").toObject();
        QCOMPARE(upload.value("kind").toString(), QString("screensnap"));
        QCOMPARE(fields.value("title").toString(), QString("Login bug"));
        QCOMPARE(fields.value("description").toString(), QString("Button & label overlap"));
        QCOMPARE(fields.value("active_window").toString(), QString(" "));
        QCOMPARE(fields.value("permission").toString(), QString("Password"));
        QCOMPARE(fields.value("password").toString(), QString("s3cret"));
        QCOMPARE(fields.value("team_id").toString(), QString("11"));
        QCOMPARE(upload.value("image_filename").toString(), QString("screensnap.png"));
        QCOMPARE(service.UploadImage(upload), png);
        // The snap's password is masked in the trace like the account's.
        QVERIFY(recorder->log.filter("s3cret").isEmpty());
    }

    void traceLinesMaskSecrets()
    {
        QStringList trace;
        connect(api.get(), &RestAPI::NetworkManagerLogSignal, this,
            [&trace](const QString& line) { trace << line; });
        SignIn();
        const RestAPI::SecurityUserInfo info = api->GetCurrentUserInfo();
        api->Roster_GetTeams();
        QVERIFY(recorder->WaitFor(RestAPI::AllSnapshotsLoaded).ok);
        const QString text = trace.join('\n');
        QVERIFY(text.contains("LoginState POST /k4p/auth/login:var login=demo, password=*****"));
        QVERIFY(text.contains("GetTeamsState ok"));
        QVERIFY(!text.contains("demo123"));
        QVERIFY(!text.contains(info.passwordMd5));
        QVERIFY(!text.contains(info.hashKey));
    }

    void onlyWebAddressesAreFetched()
    {
        SignIn();
        RestAPI::SecurityUserInfo info = api->GetCurrentUserInfo();
        info.profilePictureUrl = "file:///etc/passwd";
        api->SetApiSecurityInfo(info);
        api->User_LoadAvatar();
        const ApiRecorder::Answer answer = recorder->WaitFor(RestAPI::UserAvatarState);
        QCOMPARE(answer.state, RestAPI::UserAvatarState);
        QVERIFY(!answer.ok);
        QCOMPARE(answer.outcome, Api::Outcome::NotSent);
    }

    void updateFileDownload()
    {
        SignIn();
        api->CheckUpdates();
        QVERIFY(recorder->WaitFor(RestAPI::GetUpdate).ok);
        QTemporaryDir dir;
        const QString path = dir.filePath("sub/installer.deb");
        QSignalSpy progress(api.get(), &RestAPI::DownloadProgress);
        api->DownloadUpdateFile(QUrl(api->GetCurrentUpdateInfo().downloadUrl), path);
        QVERIFY(api->IsDownloadingUpdate());
        const ApiRecorder::Answer answer = recorder->WaitFor(RestAPI::UpdateFileRecieved);
        QVERIFY2(answer.ok, qPrintable(answer.text));
        QCOMPARE(answer.value.toString(), path);
        QCOMPARE(QFileInfo(path).size(), 512 * 1024);
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last().at(0).toLongLong(), 512 * 1024);

        // A cancelled download leaves no file and answers nothing.
        recorder->Clear();
        const QString second = dir.filePath("other.deb");
        api->DownloadUpdateFile(QUrl(api->GetCurrentUpdateInfo().downloadUrl), second);
        api->CancelUpdateDownload();
        QCOMPARE(recorder->WaitFor(RestAPI::UpdateFileRecieved, 300).state, RestAPI::NoState);
        QVERIFY(!QFile::exists(second));
        QVERIFY(!api->IsDownloadingUpdate());

        // A place the installer cannot be written to fails the download as such.
        api->DownloadUpdateFile(
            QUrl(api->GetCurrentUpdateInfo().downloadUrl), "/proc/movarelquintash/installer.deb");
        const ApiRecorder::Answer unwritable = recorder->WaitFor(RestAPI::UpdateFileRecieved);
        QVERIFY(!unwritable.ok);
        QCOMPARE(unwritable.outcome, Api::Outcome::FileError);
        QVERIFY(!unwritable.text.isEmpty());
    }

private:
    void SignIn()
    {
        api->Login("demo", "demo123");
        QVERIFY(recorder->WaitFor(RestAPI::LoginState).ok);
        recorder->Clear();
    }

    static QByteArray SamplePng()
    {
        QImage image(200, 120, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb(x, y * 2, (x * y) % 256));
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes;
    }

    // Does not compress: a desktop's size in bytes.
    static QByteArray NoisePng(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        quint32 state = 12345;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                state = state * 1664525u + 1013904223u;
                image.setPixel(x, y, state >> 8);
            }
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes;
    }

    FakeServiceProcess service;
    std::unique_ptr<RestAPI> api;
    ApiRecorder* recorder = nullptr;
};

QTEST_MAIN(TestRestApi)
#include "tst_restapi.moc"
