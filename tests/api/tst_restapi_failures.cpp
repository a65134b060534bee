#include "ApiRecorder.h"
#include "FakeServiceProcess.h"
#include "RestAPI.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

// Every way a request can fail ends in ApiDataError with the request's own state and an
// outcome that tells the way apart.
class TestRestApiFailures : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(service.Start()); }

    void init()
    {
        QVERIFY(service.Control("reset"));
        service.PointClientsHere();
        api = std::make_unique<RestAPI>();
        recorder = new ApiRecorder(api.get());
    }

    void cleanup() { api.reset(); }

    void serverErrorOnTheTeams()
    {
        SignIn();
        QVERIFY(
            service.Control("fail", { { "mode", "http500" }, { "path", "/k4p/teams/list:var" } }));
        api->Roster_GetTeams();
        const ApiRecorder::Answer answer = recorder->WaitFor(RestAPI::GetTeamsState);
        QCOMPARE(answer.state, RestAPI::GetTeamsState);
        QVERIFY(!answer.ok);
        QCOMPARE(answer.outcome, Api::Outcome::HttpStatus);
        QCOMPARE(answer.httpStatus, 500);
        QVERIFY2(answer.text.contains("HTTP 500"), qPrintable(answer.text));
        QCOMPARE(recorder->Trail(), QStringList("-GetTeamsState"));
    }

    void serverErrorOnOneTeamsMembersEndsTheChain()
    {
        SignIn();
        QVERIFY(service.Control("fail",
            { { "mode", "http500" }, { "path", "/k4p/teams/members:var" }, { "after", "1" } }));
        api->Roster_GetTeams();
        QTRY_COMPARE(recorder->Trail(),
            QStringList({ "+GetTeamsState", "+GetUsersState", "-GetUsersState" }));
        QTest::qWait(100);
        QCOMPARE(recorder->WaitFor(RestAPI::AllTeamsLoaded, 0).state, RestAPI::NoState);
    }

    void aPictureThatFailsLeavesTheChainGoing()
    {
        SignIn();
        QVERIFY(service.Control(
            "fail", { { "mode", "http500" }, { "path", "/pictures/avatar/1003.png" } }));
        api->Roster_GetTeams();
        QVERIFY(recorder->WaitFor(RestAPI::AllSnapshotsLoaded).ok);
        QCOMPARE(recorder->Trail().filter("-"), QStringList("-UsersAvatarsState"));
        QCOMPARE(
            recorder->WaitFor(RestAPI::UsersAvatarsState, 0).outcome, Api::Outcome::HttpStatus);
        QCOMPARE(recorder->WaitFor(RestAPI::UsersAvatarsState, 0).httpStatus, 500);
        const RosterManager::ROSTER_ITEM bruno = api->GetRosterList().at(0).contacts.at(2);
        QCOMPARE(bruno.contactID, 1003);
        QVERIFY(bruno.avatar.isNull());
        QVERIFY(!bruno.screenshot.isNull());
    }

    void malformedAnswer()
    {
        SignIn();
        QVERIFY(service.Control("fail", { { "mode", "malformed" } }));
        api->GetAboutInfo();
        const ApiRecorder::Answer answer = recorder->WaitFor(RestAPI::AboutState);
        QCOMPARE(answer.state, RestAPI::AboutState);
        QVERIFY(!answer.ok);
        QCOMPARE(answer.outcome, Api::Outcome::BadAnswer);
        QVERIFY2(answer.text.contains("malformed"), qPrintable(answer.text));
        QVERIFY(api->GetAboutInfoResult().title.isEmpty());
    }

    void failureChosenOnTheCommandLine()
    {
        FakeServiceProcess broken;
        QVERIFY(broken.Start({ "--fail", "malformed", "--fail-path", "/k4p/auth/login:var" }));
        broken.PointClientsHere();
        RestAPI client;
        ApiRecorder answers(&client);
        client.Login("demo", "demo123");
        QCOMPARE(answers.WaitFor(RestAPI::LoginState).state, RestAPI::LoginState);
        QCOMPARE(answers.Trail(), QStringList("-LoginState"));
        QCOMPARE(answers.answers.first().outcome, Api::Outcome::BadAnswer);
        QVERIFY(!client.IsLoggedIn());
    }

    // Refused before they cost anything: the large one as soon as its announced size shows it,
    // without being taken whole; the crowded one before the XML reader sees it
    // (bench_apixmlparser times that refusal).
    void hostileAnswersAreRefused_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("why");
        QTest::addColumn<bool>("takenWhole");
        QTest::newRow("40 MB of empty elements") << "huge"
                                                 << "larger than 4194304 bytes" << false;
        QTest::newRow("100,000 attributes") << "attributes"
                                            << "more than 64 attributes" << true;
    }

    void hostileAnswersAreRefused()
    {
        QFETCH(QString, mode);
        QFETCH(QString, why);
        QFETCH(bool, takenWhole);
        SignIn();
        QVERIFY(service.Control("fail", { { "mode", mode } }));
        api->GetAboutInfo();
        const ApiRecorder::Answer answer = recorder->WaitFor(RestAPI::AboutState);
        QCOMPARE(answer.state, RestAPI::AboutState);
        QVERIFY(!answer.ok);
        QCOMPARE(answer.outcome, Api::Outcome::BadAnswer);
        QVERIFY2(answer.text.contains(why), qPrintable(answer.text));
        QCOMPARE(!recorder->log.filter("AboutState HTTP 200").isEmpty(), takenWhole);
    }

    void slowAnswerTimesOut()
    {
        SignIn();
        api->SetRequestTimeout(300);
        QVERIFY(service.Control("fail", { { "mode", "slow" }, { "delay", "5000" } }));
        QElapsedTimer clock;
        clock.start();
        api->CheckUpdates();
        const ApiRecorder::Answer answer = recorder->WaitFor(RestAPI::GetUpdate);
        QCOMPARE(answer.state, RestAPI::GetUpdate);
        QVERIFY(!answer.ok);
        QCOMPARE(answer.outcome, Api::Outcome::Timeout);
        QVERIFY2(answer.text.contains("no answer"), qPrintable(answer.text));
        QVERIFY(clock.elapsed() < 3000);
    }

    // Every byte of a dripped answer is a sign of life, so only the deadline ends it: the
    // request fails as one without an answer, in the deadline's time.
    void drippedAnswersEndAtTheDeadline_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<RestAPI::ApiState>("state");
        QTest::newRow("sign-in") << "/k4p/auth/login:var" << RestAPI::LoginState;
        QTest::newRow("picture") << "/pictures/avatar/1001.png" << RestAPI::UserAvatarState;
        QTest::newRow("upload") << "/k4p/diary/screenshot:var" << RestAPI::ScreenshotUpload;
    }

    void drippedAnswersEndAtTheDeadline()
    {
        QFETCH(QString, path);
        QFETCH(RestAPI::ApiState, state);
        if (state != RestAPI::LoginState)
            SignIn();
        api->SetRequestDeadline(400);
        QVERIFY(
            service.Control("fail", { { "mode", "drip" }, { "path", path }, { "delay", "100" } }));
        QElapsedTimer clock;
        clock.start();
        if (state == RestAPI::LoginState)
            api->Login("demo", "demo123");
        else if (state == RestAPI::UserAvatarState)
            api->User_LoadAvatar();
        else
            api->UploadScreenshot(Shot());
        const ApiRecorder::Answer answer = recorder->WaitFor(state);
        QVERIFY(!answer.ok);
        QCOMPARE(answer.outcome, Api::Outcome::Timeout);
        QVERIFY2(answer.text.contains("no answer"), qPrintable(answer.text));
        QVERIFY(clock.elapsed() < 3000);
    }

    // A picture is decoded only from PNG or JPEG, and only when the size its header states is
    // within its kind's cap (4096 × 4096 here, where the screen is small); any other is refused
    // like a bad answer and the chain goes on.
    void picturesAreDecodedOnlyFromPngOrJpegWithinTheCap_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("taken");
        const auto row
            = [](const char* picture, const char* format, int width, int height, bool taken) {
                  QTest::addRow("%s, %s %d x %d", picture, format, width, height)
                      << picture << format << width << height << taken;
              };
        for (const char* picture : { "own avatar", "avatar", "screenshot", "tool" }) {
            row(picture, "png", 64, 64, true);
            row(picture, "jpeg", 4096, 16, true);
            row(picture, "png", 4097, 16, false);
            row(picture, "jpeg", 16, 4097, false);
            row(picture, "svg", 64, 64, false);
        }
        row("own avatar", "png", 16, 4096, true);
        row("own avatar", "png", 20000, 20000, false);
        row("own avatar", "jpeg", 20000, 20000, false);
        row("own avatar", "svg", 30000, 30000, false);
        row("own avatar", "bmp", 64, 64, false);
    }

    void picturesAreDecodedOnlyFromPngOrJpegWithinTheCap()
    {
        QFETCH(QString, picture);
        QFETCH(QString, format);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, taken);
        SignIn();
        const QString path = picture == "own avatar" ? "/pictures/avatar/1001.png"
            : picture == "avatar"                    ? "/pictures/avatar/1003.png"
            : picture == "screenshot"                ? "/pictures/snapshot/1003.png"
                                                     : "/pictures/tool/0.png";
        QVERIFY(service.Control("picture",
            { { "path", path }, { "format", format }, { "width", QString::number(width) },
                { "height", QString::number(height) } }));

        RestAPI::ApiState failure = RestAPI::TeamWorkToolsDownloadImage;
        bool loaded = false;
        if (picture == "own avatar") {
            api->User_LoadAvatar();
            failure = RestAPI::UserAvatarState;
            loaded = recorder->WaitFor(RestAPI::UserAvatarState).ok;
        } else if (picture == "tool") {
            api->GetTeamworkTools();
            QVERIFY(recorder->WaitFor(RestAPI::AllToolsLoaded).ok);
            loaded = api->GetTeamWorkTools_Result().at(0).imageLoaded;
        } else {
            api->Roster_GetTeams();
            QVERIFY(recorder->WaitFor(RestAPI::AllSnapshotsLoaded).ok);
            const RosterManager::ROSTER_ITEM bruno = api->GetRosterList().at(0).contacts.at(2);
            QCOMPARE(bruno.contactID, 1003);
            const QPixmap& shown = picture == "avatar" ? bruno.avatar : bruno.screenshot;
            failure
                = picture == "avatar" ? RestAPI::UsersAvatarsState : RestAPI::GetUserSnapshotState;
            loaded = !shown.isNull();
            if (loaded)
                QCOMPARE(shown.size(), QSize(width, height));
        }
        QCOMPARE(loaded, taken);
        const ApiRecorder::Answer refusal = recorder->WaitFor(failure, 0);
        QCOMPARE(refusal.state == failure && !refusal.ok, !taken);
        if (!taken)
            QCOMPARE(refusal.outcome, Api::Outcome::BadAnswer);
        const QString why = refusal.text;
        const bool raster = format == "png" || format == "jpeg";
        if (!taken)
            QVERIFY2(why.contains(path)
                    && why.contains(raster ? "larger than 4096 × 4096" : "not a PNG or JPEG"),
                qPrintable(why));
    }

    void staleHashKey()
    {
        RestAPI::SecurityUserInfo stale;
        stale.memberId = 1001;
        stale.hashKey = "0123456789abcdef";
        api->SetApiSecurityInfo(stale);
        api->Roster_GetTeams();
        const ApiRecorder::Answer answer = recorder->WaitFor(RestAPI::GetTeamsState);
        QVERIFY(!answer.ok);
        QCOMPARE(answer.outcome, Api::Outcome::HttpStatus);
        QCOMPARE(answer.httpStatus, 401);
        QVERIFY2(answer.text.contains("HTTP 401"), qPrintable(answer.text));
        QVERIFY(answer.text.contains("auth"));

        // A key the service has since dropped fails the same way.
        recorder->Clear();
        SignIn();
        QVERIFY(service.Control("expire"));
        api->StartWork(QTime::currentTime(), 11);
        const ApiRecorder::Answer work = recorder->WaitFor(RestAPI::WorkState);
        QVERIFY(!work.ok);
        QCOMPARE(work.outcome, Api::Outcome::HttpStatus);
        QCOMPARE(work.httpStatus, 401);
        QVERIFY(work.text.contains("auth"));
    }

    void closedPort()
    {
        FakeServiceProcess gone;
        QVERIFY(gone.Start());
        gone.PointClientsHere();
        gone.Stop();
        RestAPI client;
        ApiRecorder answers(&client);
        client.Login("demo", "demo123");
        const ApiRecorder::Answer answer = answers.WaitFor(RestAPI::LoginState);
        QCOMPARE(answer.state, RestAPI::LoginState);
        QVERIFY(!answer.ok);
        QCOMPARE(answer.outcome, Api::Outcome::Unreachable);
        QVERIFY(!answer.text.isEmpty());
    }

    void untrustedCertificateSendsNothing()
    {
        FakeServiceProcess impostor;
        QVERIFY(impostor.Start({}, FakeServiceProcess::Untrusted));
        impostor.PointClientsHere();
        RestAPI client;
        ApiRecorder answers(&client);
        client.Login("demo", "demo123");
        const ApiRecorder::Answer answer = answers.WaitFor(RestAPI::LoginState);
        QCOMPARE(answer.state, RestAPI::LoginState);
        QVERIFY(!answer.ok);
        QCOMPARE(answer.outcome, Api::Outcome::Tls);
        QVERIFY(!answers.log.filter("TLS error").isEmpty());
        QTest::qWait(100);
        QVERIFY(impostor.Requests().isEmpty());
    }

    void noNetworkSendsNothing()
    {
        SignIn();
        bool online = false;
        api->SetNetworkCheck([&online] { return online; });
        const int before = service.Requests().size();
        api->Roster_GetTeams();
        const quint64 snap = api->UploadScreensnap(
            "t", "d", " ", 0, 0, 11, RestAPI::PublicPermission, {}, "\x89PNG");
        api->Login("demo", "demo123");
        QTRY_COMPARE(recorder->answers.size(), 3);
        QCOMPARE(
            recorder->Trail(), QStringList({ "-NoConnection", "-NoConnection", "-NoConnection" }));
        for (const ApiRecorder::Answer& answer : qAsConst(recorder->answers))
            QCOMPARE(answer.outcome, Api::Outcome::NoNetwork);
        // The snap's carries its upload, so its sender knows which one never left.
        QCOMPARE(recorder->answers.at(1).value.value<RestAPI::UploadAnswer>().upload, snap);
        QCOMPARE(service.Requests().size(), before);

        online = true;
        recorder->Clear();
        api->Roster_GetTeams();
        QVERIFY(recorder->WaitFor(RestAPI::AllTeamsLoaded).ok);
    }

private:
    static ScreenshotRecord Shot()
    {
        ScreenshotRecord shot;
        shot.memo = "dripped";
        shot.date = QDate::currentDate();
        shot.time = QTime::currentTime();
        shot.companyId = 11;
        shot.image = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(100, 'p');
        return shot;
    }

    void SignIn()
    {
        api->Login("demo", "demo123");
        QVERIFY(recorder->WaitFor(RestAPI::LoginState).ok);
        recorder->Clear();
    }

    FakeServiceProcess service;
    std::unique_ptr<RestAPI> api;
    ApiRecorder* recorder = nullptr;
};

QTEST_MAIN(TestRestApiFailures)
#include "tst_restapi_failures.moc"
