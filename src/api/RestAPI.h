#pragma once

#include "ApiOutcome.h"
#include "NetworkChecker.h"
#include "RequestThread.h"
#include "RosterManager.h"
#include "RosterRelease.h"
#include "ScreenshotRecord.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPair>
#include <QPixmap>
#include <QSet>
#include <QString>
#include <QTime>
#include <QUrl>
#include <QVariant>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class ApiXmlParser;

// The client of the service's REST API. Every request travels with an ApiState; its answer
// comes back, always asynchronously, as an ApiResult with the same state, in ApiDataOk or
// ApiDataError. Results that do not fit the answer's value are read afterwards with the getters.
// The requests themselves run on a thread of their own (RequestThread); everything here, answers
// included, happens on the thread that made this object.
class RestAPI : public QObject
{
    Q_OBJECT
public:
    enum ApiState
    {
        NoState = 0,
        LoginState = 21,
        GetTeamsState = 23,
        GetUsersState = 24,
        AllTeamsLoaded = 25,
        UsersAvatarsState = 26,
        AllAvatarsLoaded = 27,
        NoConnection = 28,
        ScreenshotUpload = 29,
        ScreensnapUpload = 30,
        GetUpdate = 31,
        UserAvatarState = 32,
        GetUserSnapshotState = 33,
        AllSnapshotsLoaded = 34,
        AboutState = 35,
        TeamWorkToolsState = 36,
        AllToolsLoaded = 37,
        TeamWorkToolsDownloadImage = 38,
        ChatStatusState = 39,
        UpdateFileRecieved = 40,
        WorkState = 41
    };
    Q_ENUM(ApiState)

    enum ScreensnapPermission
    {
        PublicPermission = 0,
        TeamPermission = 1,
        PasswordPermission = 2
    };
    Q_ENUM(ScreensnapPermission)

    // The signed-in member as the sign-in answer gives it.
    struct SecurityUserInfo
    {
        int memberId = -1;
        QString hashKey; // the session key sent with every later request
        QString memberUsername; // the chat login name
        QString firstName;
        QString lastName;
        QString fullName;
        QString profilePictureUrl;
        QString chatStatus;
        QString lastWork; // e.g. "2026-12-06 16:37"
        QString password; // as typed: the chat server wants it
        QString passwordMd5; // 32 lower-case hex digits, what the sign-in sent
    };

    struct UpdateInfo
    {
        QString version; // empty when nothing newer exists
        QString downloadUrl;
    };

    struct AboutInfo
    {
        QString title;
        QString description;
    };

    struct TeamWorkTool
    {
        QString title;
        QString url; // the address the tool opens
        QPixmap image;
        QString imageUrl;
        bool imageLoaded = false;
    };

    // The value of every answer to an upload (a capture's or a snap's), in ApiDataOk with its
    // state and in ApiDataError with its state or, when the upload never left, NoConnection:
    // the number UploadScreenshot or UploadScreensnap gave the upload, and the capture's id at
    // the service, the snap's short address or why it failed. It converts to that id (toInt)
    // and to a text (toString: the reason, else the address, else the id), which receivers
    // that filter by the state alone read as before.
    struct UploadAnswer
    {
        quint64 upload = 0;
        int id = 0;
        QString error;
        QString shortUrl;

        int Id() const { return id; }
        QString Text() const
        {
            if (!error.isEmpty())
                return error;
            return shortUrl.isEmpty() ? QString::number(id) : shortUrl;
        }
    };

    // One answer, as ApiDataOk and ApiDataError carry it.
    struct ApiResult
    {
        ApiState state = NoState; // the request's, or NoConnection when it never left
        Api::Outcome outcome = Api::Outcome::Ok;
        // The status of a failed answer that came with one other than 200; with HttpStatus
        // always, and also with a failure that cut such an answer short.
        int httpStatus = 0;
        // Why it failed, as the trace log says it and the member may see it; empty when ok.
        QString text;
        // What the answer carries (see each request); a failure carries an upload's UploadAnswer
        // and else nothing.
        QVariant value;

        bool IsOk() const { return outcome == Api::Outcome::Ok; }
        static ApiResult Success(ApiState state, const QVariant& value = {})
        {
            return { state, Api::Outcome::Ok, 0, {}, value };
        }
        static ApiResult Failure(ApiState state, Api::Outcome outcome, const QString& text,
            const QVariant& value = {}, int httpStatus = 0)
        {
            return { state, outcome, httpStatus, text, value };
        }
    };

    explicit RestAPI(QObject* parent = nullptr);
    ~RestAPI() override;

    // Signs in with the login name and the password as typed; the MD5 digest of the password
    // is what travels. Answer LoginState: on success the value is the SecurityUserInfo, which
    // this client has then taken as its own.
    void Login(const QString& login, const QString& password);

    // Takes the record and counts as logged in when its hash key is set and its member id is
    // at least 1; otherwise counts as not logged in and keeps the old record.
    void SetApiSecurityInfo(const SecurityUserInfo& info);
    bool IsLoggedIn() const;
    SecurityUserInfo GetCurrentUserInfo() const;
    RosterManager::ROSTER_ITEM GetCurrentUserInRosterFormat() const;

    // Teams, then the members of each team in turn (AllTeamsLoaded), then the pictures as the
    // two flags say (AllAvatarsLoaded, AllSnapshotsLoaded). A new call drops a running chain.
    void Roster_GetTeams();
    void SetIsNeedAvatars(bool need);
    void SetIsNeedScreenshots(bool need);
    QList<RosterManager::ROSTER_GROUP_ITEM> GetRosterList() const;

    // Answer UserAvatarState with the raw image bytes.
    void User_LoadAvatar();
    void GetAboutInfo();
    AboutInfo GetAboutInfoResult() const;
    // TeamWorkToolsState for the list, AllToolsLoaded once every image is in.
    void GetTeamworkTools();
    QList<TeamWorkTool> GetTeamWorkTools_Result() const;
    void CheckUpdates();
    UpdateInfo GetCurrentUpdateInfo() const;

    // Work notices leave one at a time, in the order asked: the service sees the stop of one
    // team before the start of the next.
    void StartWork(QTime time, int teamRoomId);
    void StopWork(QTime time, int teamRoomId);
    // Sends nothing for the idle, cached and none statuses.
    void SetUserChatStatus(RosterManager::STATUS status);

    // Work-diary capture; the value of the answer is an UploadAnswer with the number returned
    // here, so answers are told apart by capture, not by order.
    quint64 UploadScreenshot(const ScreenshotRecord& shot);
    // Screen snap; the value of the answer is an UploadAnswer with the number returned here
    // and, on success, the snap's short address.
    quint64 UploadScreensnap(const QString& title, const QString& description,
        const QString& activeWindow, int keyStrokes, int mouseClicks, int teamId,
        ScreensnapPermission permission, const QString& password, const QByteArray& png);

    // Streams the file at `url` into `filePath`, replacing it only once the whole file is in.
    // Answer UpdateFileRecieved with the path; DownloadProgress while it runs.
    void DownloadUpdateFile(const QUrl& url, const QString& filePath);
    // Drops a running download and its partial file; no answer follows.
    void CancelUpdateDownload();
    bool IsDownloadingUpdate() const;

    // A request with no sign of life for this long fails with its state (30 s by default).
    void SetRequestTimeout(int msec);
    // Every request must be over this long after it was sent (60 s by default), plus the time
    // its bytes take on a slow line (8 KB/s), or it fails with its state as one without an
    // answer.
    void SetRequestDeadline(int msec);
    // Replaces the platform's network check (tests simulate "no network" with it).
    void SetNetworkCheck(std::function<bool()> isOnline);

signals:
    void ApiDataOk(const RestAPI::ApiResult& result);
    void ApiDataError(const RestAPI::ApiResult& result);
    void NetworkManagerLogSignal(QString text);
    void DownloadProgress(qint64 received, qint64 total);

private:
    using Fields = QList<QPair<QString, QString>>;
    using Outcome = RequestThread::Outcome;
    using OutcomeHandler = std::function<void(const Outcome&)>;
    using AnswerHandler = std::function<void(const ApiXmlParser&)>;
    enum class PictureKind
    {
        Avatar,
        Screenshot
    };

    bool IsOnline() const;
    // `upload` names the capture's upload a failure answers for (0: none).
    bool CheckCanSend(ApiState state, quint64 upload = 0);
    void ReportLater(const ApiResult& result);
    // The failure's result: its value names the upload it answers for, if any.
    static ApiResult Failed(ApiState state, Api::Outcome outcome, const QString& why,
        quint64 upload = 0, int httpStatus = 0);

    RequestThread& Requests();
    QUrl ApiUrl(const QString& path) const;
    QUrl PictureUrl(const QString& address) const;
    Fields WithCredentials(Fields fields) const;
    quint64 CallApi(ApiState state, const QString& path, const Fields& fields, AnswerHandler onOk,
        std::function<bool()> isCurrent = {});
    RequestThread::Request PostForm(ApiState state, const QString& path, const Fields& fields);
    RequestThread::Request PostMultipart(ApiState state, const QString& path, const Fields& fields,
        const QString& fileField, const QString& fileName, const QByteArray& png,
        std::optional<bool> pngHoldsBoundary = std::nullopt);
    // Sends the request with this client's time limits; the handler has its outcome unless
    // `isCurrent` says by then that it is no longer wanted.
    quint64 Send(ApiState state, RequestThread::Request request, std::function<bool()> isCurrent,
        OutcomeHandler handler, RequestThread::Progress progress = {});
    void HandleApiOutcome(
        ApiState state, const Outcome& outcome, const AnswerHandler& onOk, quint64 upload = 0);
    quint64 FetchPicture(ApiState state, const QString& address, std::function<bool()> isCurrent,
        OutcomeHandler handler);
    void SendWorkNotice(const QString& path, QTime time, int teamRoomId);
    void SendNextWorkNotice();
    void Fail(ApiState state, Api::Outcome outcome, const QString& why, quint64 upload = 0,
        int httpStatus = 0);
    // A request that failed on its way, in the request thread's words.
    void Fail(ApiState state, const Outcome& outcome);
    void Log(const QString& text);

    bool RequireLogin(ApiState state, quint64 upload = 0);
    void LoadTeamMembers(quint64 chain, int teamIndex);
    void LoadRosterPictures(quint64 chain, PictureKind kind);
    void LoadRosterPicturesLater(quint64 chain, PictureKind kind);
    void FetchNextRosterPicture(quint64 chain, PictureKind kind);
    QPixmap RosterPicture(
        PictureKind kind, const QString& address, const QByteArray& bytes, QString* why);
    void RosterPicturesDone(quint64 chain, PictureKind kind);
    void DropRosterChain();
    void LoadToolImages(quint64 round);

    // Made for the first request.
    std::unique_ptr<RequestThread> requests;
    QUrl apiBase;
    std::function<bool()> networkCheck;
    NetworkChecker platformNetwork;
    int requestTimeout = 30000;
    int requestDeadline = 60000;
    quint64 lastUpload = 0;

    SecurityUserInfo userInfo;
    bool loggedIn = false;

    QList<RosterManager::ROSTER_GROUP_ITEM> rosterList;
    // The passes dropped, freed a few members at a time: all at once held the window for
    // tens of milliseconds as each refresh started.
    RosterRelease rosterRelease;
    // The roster chain's requests still running: a refresh cuts them short.
    QSet<quint64> rosterRequests;
    quint64 rosterChain = 0;
    int pendingRosterPictures = 0;
    // The pictures of a pass still to be asked for: address and the members showing it.
    struct RosterPictureFetch
    {
        QString address;
        QList<QPair<int, int>> targets; // team and member positions
    };
    QList<RosterPictureFetch> rosterPictureQueue;
    struct LoadedPicture
    {
        QByteArray digest; // of the bytes it was decoded from
        QPixmap picture;
    };
    // By address: the avatars and the screenshots of the latest pass of each, and those of the
    // pass before the running one.
    std::array<QHash<QString, LoadedPicture>, 2> loadedPictures;
    QHash<QString, LoadedPicture> previousPictures;
    bool isNeedAvatars = true;
    bool isNeedScreenshots = true;

    AboutInfo aboutInfo;
    QList<TeamWorkTool> teamWorkTools;
    quint64 toolsRound = 0;
    int pendingToolImages = 0;
    UpdateInfo updateInfo;
    quint64 updateRequest = 0; // while the installer downloads

    struct WorkNotice
    {
        QString path;
        Fields fields;
    };
    QList<WorkNotice> workNotices;
    quint64 workRequest = 0; // the notice on its way
};

Q_DECLARE_METATYPE(RestAPI::SecurityUserInfo)
Q_DECLARE_METATYPE(RestAPI::UpdateInfo)
Q_DECLARE_METATYPE(RestAPI::UploadAnswer)
Q_DECLARE_METATYPE(RestAPI::ApiResult)
