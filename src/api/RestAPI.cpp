#include "RestAPI.h"

#include "ApiXmlParser.h"
#include "AppInfo.h"
#include "Constants.h"
#include "ServiceConfig.h"
#include "ServicePicture.h"

#include <QCryptographicHash>
#include <QHostInfo>
#include <QMap>
#include <QMetaEnum>

#include <memory>
#include <utility>

namespace {

const QString loginPath = QStringLiteral("/k4p/auth/login:var");
const QString teamsPath = QStringLiteral("/k4p/teams/list:var");
const QString membersPath = QStringLiteral("/k4p/teams/members:var");
const QString chatStatusPath = QStringLiteral("/k4p/chat/status:var");
const QString workStartPath = QStringLiteral("/k4p/work/start:var");
const QString workStopPath = QStringLiteral("/k4p/work/stop:var");
const QString aboutPath = QStringLiteral("/k4p/info/about:var");
const QString toolsPath = QStringLiteral("/k4p/info/tools:var");
const QString updatePath = QStringLiteral("/k4p/update/check:var");
const QString screenshotPath = QStringLiteral("/k4p/diary/screenshot:var");
const QString screensnapPath = QStringLiteral("/k4p/snaps/upload:var");

const QString timeFormat = QStringLiteral("HH:mm:ss");
const QString dateFormat = QStringLiteral("yyyy-MM-dd");
// An XML answer has the parser's bound; a picture is a few hundred kilobytes at most, and the
// installer goes to disk, not into memory.
constexpr qint64 maxAnswerBytes = ApiXmlParser::maxAnswerSize;
constexpr qint64 maxPictureBytes = 16 * 1024 * 1024;
constexpr qint64 maxInstallerBytes = 1024LL * 1024 * 1024;
constexpr int maxRosterPicturesInFlight = 12;

QString StateName(RestAPI::ApiState state)
{
    return QString::fromLatin1(QMetaEnum::fromType<RestAPI::ApiState>().valueToKey(state));
}

// The trace log must never show the password, its digest or the session key.
bool IsSecret(const QString& field)
{
    return field == QLatin1String("password") || field == QLatin1String("hash_key");
}

template<typename FieldList> QString Describe(const FieldList& fields)
{
    QStringList parts;
    for (const auto& field : fields)
        parts << field.first + QLatin1Char('=')
                + (IsSecret(field.first) ? QStringLiteral("*****") : field.second);
    return parts.join(QLatin1String(", "));
}

// Percent-encodes everything but the unreserved characters, so '+', '&' and '=' in a memo
// reach the service as typed.
template<typename FieldList> QByteArray FormEncode(const FieldList& fields)
{
    QByteArray body;
    for (const auto& field : fields) {
        if (!body.isEmpty())
            body += '&';
        body += QUrl::toPercentEncoding(field.first) + '=' + QUrl::toPercentEncoding(field.second);
    }
    return body;
}

// The service's answers are read on the request thread: the teams list of a large company is
// tens of kilobytes.
using ParsedAnswer = std::shared_ptr<const ApiXmlParser>;

std::any ParseAnswer(const QByteArray& body)
{
    auto parsed = std::make_shared<ApiXmlParser>(body);
    parsed->ReadAhead();
    return ParsedAnswer(std::move(parsed));
}

ParsedAnswer AnswerOf(const RequestThread::Outcome& outcome)
{
    if (const auto* parsed = std::any_cast<ParsedAnswer>(&outcome.parsed))
        return *parsed;
    return std::make_shared<const ApiXmlParser>(outcome.body);
}

// The status of a failed answer, as ApiResult holds it: none when the answer came with 200.
int FailedStatus(const RequestThread::Outcome& outcome)
{
    return outcome.httpStatus == 200 ? 0 : outcome.httpStatus;
}

bool IsWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("https") || scheme == QLatin1String("http"));
}

} // namespace

RestAPI::RestAPI(QObject* parent) : QObject(parent), apiBase(ServiceConfig::apiBaseUrl())
{
    qRegisterMetaType<RestAPI::ApiState>("RestAPI::ApiState");
    qRegisterMetaType<RestAPI::SecurityUserInfo>("RestAPI::SecurityUserInfo");
    qRegisterMetaType<RestAPI::UpdateInfo>("RestAPI::UpdateInfo");
    qRegisterMetaType<RestAPI::UploadAnswer>("RestAPI::UploadAnswer");
    qRegisterMetaType<RestAPI::ApiResult>("RestAPI::ApiResult");
    static const bool converters
        = QMetaType::registerConverter<UploadAnswer, int>(&UploadAnswer::Id)
        && QMetaType::registerConverter<UploadAnswer, QString>(&UploadAnswer::Text);
    Q_UNUSED(converters)
    // Once the event loop runs (the sign-in dialog is up): the sign-in's request needs them.
    QTimer::singleShot(0, this, [] { ServiceConfig::prepareTrustedCaCertificates(); });
}

RestAPI::~RestAPI()
{
    // Before anything an answer could reach: none comes once the requests are gone.
    requests.reset();
}

void RestAPI::Login(const QString& login, const QString& password)
{
    if (!CheckCanSend(LoginState))
        return;
    const QString digest = QString::fromLatin1(
        QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Md5).toHex());
    const Fields fields { { QStringLiteral("login"), login },
        { QStringLiteral("password"), digest }, { QStringLiteral("os"), UpdateOsValues::os },
        { QStringLiteral("version"), AppInfo::version() } };
    CallApi(LoginState, loginPath, fields, [this, password, digest](const ApiXmlParser& answer) {
        SecurityUserInfo info;
        if (!answer.ReadLogin(&info)) {
            Fail(LoginState, Api::Outcome::BadAnswer, tr("the answer names no member"));
            return;
        }
        info.password = password;
        info.passwordMd5 = digest;
        SetApiSecurityInfo(info);
        emit ApiDataOk(ApiResult::Success(LoginState, QVariant::fromValue(info)));
    });
}

void RestAPI::SetApiSecurityInfo(const SecurityUserInfo& info)
{
    if (info.hashKey.isEmpty() || info.memberId < 1) {
        loggedIn = false;
        return;
    }
    userInfo = info;
    loggedIn = true;
}

bool RestAPI::IsLoggedIn() const
{
    return loggedIn;
}

RestAPI::SecurityUserInfo RestAPI::GetCurrentUserInfo() const
{
    return userInfo;
}

RosterManager::ROSTER_ITEM RestAPI::GetCurrentUserInRosterFormat() const
{
    RosterManager::ROSTER_ITEM item;
    item.contactID = userInfo.memberId;
    item.groupID = -1;
    item.fullName = userInfo.fullName;
    item.userName = userInfo.memberUsername;
    return item;
}

void RestAPI::Roster_GetTeams()
{
    if (!loggedIn) {
        ReportLater(Failed(LoginState, Api::Outcome::NotSent, tr("not signed in")));
        return;
    }
    DropRosterChain();
    if (!CheckCanSend(GetTeamsState))
        return;
    const quint64 chain = rosterChain;
    rosterRequests.insert(CallApi(
        GetTeamsState, teamsPath, WithCredentials({}),
        [this, chain](const ApiXmlParser& answer) {
            rosterList = answer.ReadTeams();
            // Without a team there is nothing to track time for: the caller shows its
            // no-teams page on this error.
            if (rosterList.isEmpty()) {
                Fail(GetTeamsState, Api::Outcome::BadAnswer, tr("no teams"));
                return;
            }
            emit ApiDataOk(ApiResult::Success(GetTeamsState, rosterList.size()));
            if (chain == rosterChain)
                LoadTeamMembers(chain, 0);
        },
        [this, chain] { return chain == rosterChain; }));
}

void RestAPI::SetIsNeedAvatars(bool need)
{
    isNeedAvatars = need;
}

void RestAPI::SetIsNeedScreenshots(bool need)
{
    isNeedScreenshots = need;
}

QList<RosterManager::ROSTER_GROUP_ITEM> RestAPI::GetRosterList() const
{
    return rosterList;
}

void RestAPI::User_LoadAvatar()
{
    if (!RequireLogin(UserAvatarState) || !CheckCanSend(UserAvatarState))
        return;
    FetchPicture(UserAvatarState, userInfo.profilePictureUrl, {}, [this](const Outcome& outcome) {
        if (!outcome.IsOk()) {
            Fail(UserAvatarState, outcome);
            return;
        }
        // The bytes are the answer; a picture its receiver would refuse to decode is a bad one.
        QString why;
        if (!ServicePicture::Check(outcome.body, ServicePicture::Kind::Avatar, &why)) {
            Fail(UserAvatarState, Api::Outcome::BadAnswer,
                userInfo.profilePictureUrl + QStringLiteral(": ") + why);
            return;
        }
        Log(StateName(UserAvatarState) + QStringLiteral(" ok"));
        emit ApiDataOk(ApiResult::Success(UserAvatarState, outcome.body));
    });
}

void RestAPI::GetAboutInfo()
{
    if (!RequireLogin(AboutState) || !CheckCanSend(AboutState))
        return;
    CallApi(AboutState, aboutPath, WithCredentials({}), [this](const ApiXmlParser& answer) {
        aboutInfo = answer.ReadAbout();
        emit ApiDataOk(ApiResult::Success(AboutState));
    });
}

RestAPI::AboutInfo RestAPI::GetAboutInfoResult() const
{
    return aboutInfo;
}

void RestAPI::GetTeamworkTools()
{
    if (!RequireLogin(TeamWorkToolsState) || !CheckCanSend(TeamWorkToolsState))
        return;
    const quint64 round = ++toolsRound;
    teamWorkTools.clear();
    pendingToolImages = 0;
    CallApi(
        TeamWorkToolsState, toolsPath, WithCredentials({}),
        [this, round](const ApiXmlParser& answer) {
            teamWorkTools = answer.ReadTools();
            emit ApiDataOk(ApiResult::Success(TeamWorkToolsState, teamWorkTools.size()));
            if (round == toolsRound)
                LoadToolImages(round);
        },
        [this, round] { return round == toolsRound; });
}

QList<RestAPI::TeamWorkTool> RestAPI::GetTeamWorkTools_Result() const
{
    return teamWorkTools;
}

void RestAPI::CheckUpdates()
{
    if (!RequireLogin(GetUpdate) || !CheckCanSend(GetUpdate))
        return;
    const Fields fields { { QStringLiteral("os"), UpdateOsValues::os },
        { QStringLiteral("version"), AppInfo::version() } };
    CallApi(GetUpdate, updatePath, WithCredentials(fields), [this](const ApiXmlParser& answer) {
        updateInfo = answer.ReadUpdate();
        emit ApiDataOk(ApiResult::Success(GetUpdate, QVariant::fromValue(updateInfo)));
    });
}

RestAPI::UpdateInfo RestAPI::GetCurrentUpdateInfo() const
{
    return updateInfo;
}

void RestAPI::StartWork(QTime time, int teamRoomId)
{
    SendWorkNotice(workStartPath, time, teamRoomId);
}

void RestAPI::StopWork(QTime time, int teamRoomId)
{
    SendWorkNotice(workStopPath, time, teamRoomId);
}

void RestAPI::SetUserChatStatus(RosterManager::STATUS status)
{
    QString text;
    switch (status) {
    case RosterManager::STATUS_ONLINE_WORKING:
    case RosterManager::STATUS_ONLINE:
        text = ChatStatusValues::online;
        break;
    case RosterManager::STATUS_DND_WORKING:
    case RosterManager::STATUS_DND:
        text = ChatStatusValues::doNotDistrub;
        break;
    case RosterManager::STATUS_OFFLINE:
        text = ChatStatusValues::offline;
        break;
    default:
        return;
    }
    if (!RequireLogin(ChatStatusState) || !CheckCanSend(ChatStatusState))
        return;
    CallApi(ChatStatusState, chatStatusPath,
        WithCredentials({ { QStringLiteral("status"), text } }),
        [this](const ApiXmlParser&) { emit ApiDataOk(ApiResult::Success(ChatStatusState)); });
}

quint64 RestAPI::UploadScreenshot(const ScreenshotRecord& shot)
{
    const quint64 upload = ++lastUpload;
    if (!RequireLogin(ScreenshotUpload, upload))
        return upload;
    if (shot.image.isEmpty()) {
        ReportLater(Failed(
            ScreenshotUpload, Api::Outcome::NotSent, tr("the capture has no image"), upload));
        return upload;
    }
    if (!CheckCanSend(ScreenshotUpload, upload))
        return upload;
    const Fields fields {
        { ScreenshotUploadFields::title, shot.memo },
        { ScreenshotUploadFields::activeWindow, shot.activeWindow },
        { ScreenshotUploadFields::keyStrokes, QString::number(shot.keyStrokes) },
        { ScreenshotUploadFields::mouseClicks, QString::number(shot.mouseClicks) },
        { ScreenshotUploadFields::hostName, QHostInfo::localHostName() },
        { ScreenshotUploadFields::teamId, QString::number(shot.companyId) },
        { ScreenshotUploadFields::workingTime,
            shot.workingTime.isValid() ? shot.workingTime.toString(timeFormat)
                                       : QStringLiteral("00:00:00") },
        { ScreenshotUploadFields::captureDate, shot.date.toString(dateFormat) },
        { ScreenshotUploadFields::captureTime, shot.time.toString(timeFormat) },
    };
    RequestThread::Request request = PostMultipart(ScreenshotUpload, screenshotPath,
        WithCredentials(fields), ScreenshotUploadFields::image, ScreenshotUploadFields::fileName,
        shot.image, shot.imageHoldsBoundary);
    Send(ScreenshotUpload, std::move(request), {}, [this, upload](const Outcome& outcome) {
        HandleApiOutcome(
            ScreenshotUpload, outcome,
            [this, upload](const ApiXmlParser& answer) {
                // Without the service's id the capture is not known to be stored: the caller
                // keeps it rather than count it as uploaded.
                const int id = answer.ReadScreenshotId();
                if (id < 1) {
                    Fail(ScreenshotUpload, Api::Outcome::BadAnswer,
                        tr("the answer holds no screenshot id"), upload);
                    return;
                }
                emit ApiDataOk(ApiResult::Success(
                    ScreenshotUpload, QVariant::fromValue(UploadAnswer { upload, id, {}, {} })));
            },
            upload);
    });
    return upload;
}

quint64 RestAPI::UploadScreensnap(const QString& title, const QString& description,
    const QString& activeWindow, int keyStrokes, int mouseClicks, int teamId,
    ScreensnapPermission permission, const QString& password, const QByteArray& png)
{
    const quint64 upload = ++lastUpload;
    if (!RequireLogin(ScreensnapUpload, upload))
        return upload;
    QString permissionName;
    switch (permission) {
    case PublicPermission:
        permissionName = ScreenSnapPermissions::publicPermission;
        break;
    case TeamPermission:
        permissionName = ScreenSnapPermissions::teamPermission;
        break;
    case PasswordPermission:
        permissionName = ScreenSnapPermissions::passwordPermission;
        break;
    }
    if (permissionName.isEmpty() || png.isEmpty()) {
        ReportLater(Failed(ScreensnapUpload, Api::Outcome::NotSent,
            png.isEmpty() ? tr("the snap has no image") : tr("unknown permission"), upload));
        return upload;
    }
    if (!CheckCanSend(ScreensnapUpload, upload))
        return upload;
    const Fields fields {
        { ScreensnapUploadFields::title, title },
        { ScreensnapUploadFields::description, description },
        { ScreensnapUploadFields::activeWindow, activeWindow },
        { ScreensnapUploadFields::keyStrokes, QString::number(keyStrokes) },
        { ScreensnapUploadFields::mouseClicks, QString::number(mouseClicks) },
        { ScreensnapUploadFields::hostName, QHostInfo::localHostName() },
        { ScreensnapUploadFields::teamId, QString::number(teamId) },
        { ScreensnapUploadFields::permission, permissionName },
        { ScreensnapUploadFields::password, password },
    };
    RequestThread::Request request
        = PostMultipart(ScreensnapUpload, screensnapPath, WithCredentials(fields),
            ScreensnapUploadFields::image, ScreensnapUploadFields::fileName, png);
    Send(ScreensnapUpload, std::move(request), {}, [this, upload](const Outcome& outcome) {
        HandleApiOutcome(
            ScreensnapUpload, outcome,
            [this, upload](const ApiXmlParser& answer) {
                // The address goes to the clipboard and into a link the member clicks.
                const QString shortUrl = answer.ReadShortUrl();
                if (!IsWebAddress(QUrl(shortUrl, QUrl::StrictMode))) {
                    Fail(ScreensnapUpload, Api::Outcome::BadAnswer,
                        tr("the answer holds no short address"), upload);
                    return;
                }
                emit ApiDataOk(ApiResult::Success(ScreensnapUpload,
                    QVariant::fromValue(UploadAnswer { upload, 0, {}, shortUrl })));
            },
            upload);
    });
    return upload;
}

void RestAPI::DownloadUpdateFile(const QUrl& url, const QString& filePath)
{
    CancelUpdateDownload();
    if (!IsWebAddress(url)) {
        ReportLater(Failed(UpdateFileRecieved, Api::Outcome::NotSent,
            tr("the installer address is not a web address")));
        return;
    }
    if (!CheckCanSend(UpdateFileRecieved))
        return;
    RequestThread::Request request;
    request.url = url;
    request.followRedirects = true;
    request.maxBytes = maxInstallerBytes;
    // The installer replaces an older file of the same name only once it is complete.
    request.saveTo = filePath;
    Log(StateName(UpdateFileRecieved) + QStringLiteral(" GET ") + url.toString());
    updateRequest = Send(
        UpdateFileRecieved, std::move(request), {},
        [this, filePath](const Outcome& outcome) {
            updateRequest = 0;
            if (!outcome.IsOk()) {
                Fail(UpdateFileRecieved, outcome);
                return;
            }
            Log(StateName(UpdateFileRecieved) + QStringLiteral(" ok: ") + filePath);
            emit ApiDataOk(ApiResult::Success(UpdateFileRecieved, filePath));
        },
        [this](qint64 received, qint64 total) { emit DownloadProgress(received, total); });
}

void RestAPI::CancelUpdateDownload()
{
    if (!updateRequest)
        return;
    Requests().Cancel(std::exchange(updateRequest, 0));
}

bool RestAPI::IsDownloadingUpdate() const
{
    return updateRequest != 0;
}

void RestAPI::SetRequestTimeout(int msec)
{
    requestTimeout = msec;
}

void RestAPI::SetRequestDeadline(int msec)
{
    requestDeadline = msec;
}

void RestAPI::SetNetworkCheck(std::function<bool()> isOnline)
{
    networkCheck = std::move(isOnline);
}

bool RestAPI::IsOnline() const
{
    if (networkCheck)
        return networkCheck();
    return platformNetwork.IsNetworkEnabled();
}

bool RestAPI::CheckCanSend(ApiState state, quint64 upload)
{
    if (IsOnline())
        return true;
    const QString why = tr("no network for %1").arg(StateName(state));
    Log(why);
    ReportLater(Failed(NoConnection, Api::Outcome::NoNetwork, why, upload));
    return false;
}

bool RestAPI::RequireLogin(ApiState state, quint64 upload)
{
    if (loggedIn)
        return true;
    ReportLater(Failed(state, Api::Outcome::NotSent, tr("not signed in"), upload));
    return false;
}

RestAPI::ApiResult RestAPI::Failed(
    ApiState state, Api::Outcome outcome, const QString& why, quint64 upload, int httpStatus)
{
    const QVariant value
        = upload ? QVariant::fromValue(UploadAnswer { upload, 0, why, {} }) : QVariant();
    return ApiResult::Failure(state, outcome, why, value, httpStatus);
}

// Failures that arise without a request still arrive from the event loop, like every answer.
void RestAPI::ReportLater(const ApiResult& result)
{
    Log(StateName(result.state) + QStringLiteral(" failed: ") + result.text);
    QMetaObject::invokeMethod(
        this, [this, result] { emit ApiDataError(result); }, Qt::QueuedConnection);
}

RequestThread& RestAPI::Requests()
{
    if (!requests)
        requests = std::make_unique<RequestThread>(
            (AppInfo::applicationName + QLatin1Char('/') + AppInfo::version()).toUtf8());
    return *requests;
}

QUrl RestAPI::ApiUrl(const QString& path) const
{
    QUrl url = apiBase;
    url.setPath(apiBase.path() + path);
    return url;
}

QUrl RestAPI::PictureUrl(const QString& address) const
{
    const QUrl url(address.trimmed());
    return url.isRelative() ? apiBase.resolved(url) : url;
}

RestAPI::Fields RestAPI::WithCredentials(Fields fields) const
{
    fields.append({ QStringLiteral("member_id"), QString::number(userInfo.memberId) });
    fields.append({ QStringLiteral("hash_key"), userInfo.hashKey });
    return fields;
}

RequestThread::Request RestAPI::PostForm(ApiState state, const QString& path, const Fields& fields)
{
    Log(QStringLiteral("%1 POST %2 %3").arg(StateName(state), path, Describe(fields)));
    RequestThread::Request request;
    request.url = ApiUrl(path);
    request.formBody = FormEncode(fields);
    request.maxBytes = maxAnswerBytes;
    request.parse = ParseAnswer;
    return request;
}

RequestThread::Request RestAPI::PostMultipart(ApiState state, const QString& path,
    const Fields& fields, const QString& fileField, const QString& fileName, const QByteArray& png,
    std::optional<bool> pngHoldsBoundary)
{
    RequestThread::Request request;
    request.url = ApiUrl(path);
    request.maxBytes = maxAnswerBytes;
    request.boundary = MyMimeTypes::boundary.toLatin1();
    request.parse = ParseAnswer;
    for (const auto& field : fields)
        request.parts.append({ field.first, field.second.toUtf8(), {}, {}, {} });
    // A PNG whose maker looked for the boundary already is not searched again: read cold, a 4K
    // desktop's took up to 9 ms.
    request.parts.append({ fileField, png, fileName, MyMimeTypes::png, pngHoldsBoundary });
    Log(QStringLiteral("%1 POST %2 %3, %4=<%5 bytes>")
            .arg(StateName(state), path, Describe(fields), fileField)
            .arg(png.size()));
    return request;
}

quint64 RestAPI::Send(ApiState state, RequestThread::Request request,
    std::function<bool()> isCurrent, OutcomeHandler handler, RequestThread::Progress progress)
{
    request.timeoutMs = requestTimeout;
    request.deadlineMs = requestDeadline;
    const auto id = std::make_shared<quint64>(0);
    *id = Requests().Start(
        std::move(request),
        [this, id, state, isCurrent = std::move(isCurrent), handler = std::move(handler)](
            const Outcome& outcome) {
            rosterRequests.remove(*id);
            for (const QString& error : outcome.tlsErrors)
                Log(StateName(state) + QStringLiteral(" TLS error: ") + error);
            if (isCurrent && !isCurrent())
                return;
            if (outcome.IsOk())
                Log(QStringLiteral("%1 HTTP 200, %2 bytes")
                        .arg(StateName(state))
                        .arg(outcome.body.size()));
            handler(outcome);
        },
        std::move(progress));
    return *id;
}

quint64 RestAPI::CallApi(ApiState state, const QString& path, const Fields& fields,
    AnswerHandler onOk, std::function<bool()> isCurrent)
{
    return Send(state, PostForm(state, path, fields), std::move(isCurrent),
        [this, state, onOk](const Outcome& outcome) { HandleApiOutcome(state, outcome, onOk); });
}

void RestAPI::HandleApiOutcome(
    ApiState state, const Outcome& outcome, const AnswerHandler& onOk, quint64 upload)
{
    const ParsedAnswer parsed = AnswerOf(outcome);
    const ApiXmlParser& answer = *parsed;
    if (!outcome.IsOk()) {
        QString why = outcome.error;
        // A refusal such as 401 still says why in its body.
        if (answer.IsValid() && !(answer.ErrorCode().isEmpty() && answer.ErrorMessage().isEmpty()))
            why += QStringLiteral(", ") + answer.Problem();
        Fail(state, outcome.kind, why, upload, FailedStatus(outcome));
        return;
    }
    if (!answer.IsOk()) {
        Fail(state, answer.IsRefusal() ? Api::Outcome::Refused : Api::Outcome::BadAnswer,
            answer.Problem(), upload);
        return;
    }
    Log(StateName(state) + QStringLiteral(" ok"));
    onOk(answer);
}

quint64 RestAPI::FetchPicture(
    ApiState state, const QString& address, std::function<bool()> isCurrent, OutcomeHandler handler)
{
    const QUrl url = PictureUrl(address);
    // Only web addresses: an answer must not make the client read local files.
    if (!IsWebAddress(url)) {
        Outcome refused;
        refused.kind = Api::Outcome::NotSent;
        refused.error = tr("\"%1\" is not a web address").arg(address);
        QMetaObject::invokeMethod(
            this,
            [isCurrent, handler, refused] {
                if (!isCurrent || isCurrent())
                    handler(refused);
            },
            Qt::QueuedConnection);
        return 0;
    }
    RequestThread::Request request;
    request.url = url;
    request.followRedirects = true;
    request.maxBytes = maxPictureBytes;
    Log(StateName(state) + QStringLiteral(" GET ") + url.toString());
    return Send(state, std::move(request), std::move(isCurrent), std::move(handler));
}

void RestAPI::SendWorkNotice(const QString& path, QTime time, int teamRoomId)
{
    if (!RequireLogin(WorkState) || !CheckCanSend(WorkState))
        return;
    const Fields fields { { QStringLiteral("team_id"), QString::number(teamRoomId) },
        { QStringLiteral("time"), time.toString(timeFormat) } };
    workNotices.append({ path, fields });
    // Requests on separate connections may arrive in any order; a switch of teams must not
    // reach the service as start before stop.
    if (!workRequest)
        SendNextWorkNotice();
}

void RestAPI::SendNextWorkNotice()
{
    workRequest = 0;
    if (workNotices.isEmpty())
        return;
    const WorkNotice notice = workNotices.takeFirst();
    const AnswerHandler onOk = [this](const ApiXmlParser&) {
        emit ApiDataOk(ApiResult::Success(WorkState));
    };
    workRequest = Send(WorkState, PostForm(WorkState, notice.path, WithCredentials(notice.fields)),
        {}, [this, onOk](const Outcome& outcome) {
            HandleApiOutcome(WorkState, outcome, onOk);
            // After the answer's own handling, which may have asked for another notice.
            SendNextWorkNotice();
        });
}

void RestAPI::Fail(
    ApiState state, Api::Outcome outcome, const QString& why, quint64 upload, int httpStatus)
{
    Log(StateName(state) + QStringLiteral(" failed: ") + why);
    emit ApiDataError(Failed(state, outcome, why, upload, httpStatus));
}

void RestAPI::Fail(ApiState state, const Outcome& outcome)
{
    Fail(state, outcome.kind, outcome.error, 0, FailedStatus(outcome));
}

void RestAPI::Log(const QString& text)
{
    emit NetworkManagerLogSignal(text);
}

void RestAPI::LoadTeamMembers(quint64 chain, int teamIndex)
{
    if (teamIndex >= rosterList.size()) {
        emit ApiDataOk(ApiResult::Success(AllTeamsLoaded));
        if (chain == rosterChain)
            LoadRosterPicturesLater(
                chain, isNeedAvatars ? PictureKind::Avatar : PictureKind::Screenshot);
        return;
    }
    if (!CheckCanSend(GetUsersState))
        return;
    const int teamId = rosterList.at(teamIndex).groupID;
    rosterRequests.insert(CallApi(
        GetUsersState, membersPath,
        WithCredentials({ { QStringLiteral("team_id"), QString::number(teamId) } }),
        [this, chain, teamIndex, teamId](const ApiXmlParser& answer) {
            RosterManager::ROSTER_GROUP_ITEM& team = rosterList[teamIndex];
            team.contacts = answer.ReadMembers(teamId);
            team.isLoaded = true;
            emit ApiDataOk(ApiResult::Success(GetUsersState, teamId));
            if (chain == rosterChain)
                LoadTeamMembers(chain, teamIndex + 1);
        },
        [this, chain] { return chain == rosterChain; }));
}

void RestAPI::LoadRosterPictures(quint64 chain, PictureKind kind)
{
    const bool avatars = kind == PictureKind::Avatar;
    const ApiState state = avatars ? UsersAvatarsState : GetUserSnapshotState;
    // A member of several teams has one picture: each address is fetched once.
    QMap<QString, QList<QPair<int, int>>> owners;
    for (int team = 0; team < rosterList.size(); ++team) {
        const QList<RosterManager::ROSTER_ITEM>& contacts = rosterList.at(team).contacts;
        for (int member = 0; member < contacts.size(); ++member) {
            const QString& address
                = avatars ? contacts.at(member).avatarUrl : contacts.at(member).screenshotUrl;
            if (!address.isEmpty())
                owners[address].append({ team, member });
        }
    }
    if (owners.isEmpty()) {
        RosterPicturesDone(chain, kind);
        return;
    }
    if (!CheckCanSend(state))
        return;
    pendingRosterPictures = owners.size();
    rosterPictureQueue.clear();
    for (auto it = owners.cbegin(); it != owners.cend(); ++it)
        rosterPictureQueue.append({ it.key(), it.value() });
    // The pictures of the last pass are the yardstick of this one's.
    previousPictures = std::exchange(loadedPictures[int(kind)], {});
    // Thousands of requests made at once would hold the GUI thread for as long; a few at a time
    // keep every connection busy (the network manager opens six per host).
    for (int started = 0; started < maxRosterPicturesInFlight; ++started)
        FetchNextRosterPicture(chain, kind);
}

void RestAPI::FetchNextRosterPicture(quint64 chain, PictureKind kind)
{
    if (chain != rosterChain || rosterPictureQueue.isEmpty())
        return;
    const bool avatars = kind == PictureKind::Avatar;
    const ApiState state = avatars ? UsersAvatarsState : GetUserSnapshotState;
    const RosterPictureFetch fetch = rosterPictureQueue.takeFirst();
    rosterRequests.insert(FetchPicture(
        state, fetch.address, [this, chain] { return chain == rosterChain; },
        [this, chain, kind, avatars, state, fetch](const Outcome& outcome) {
            QString why;
            const QPixmap picture = outcome.IsOk()
                ? RosterPicture(kind, fetch.address, outcome.body, &why)
                : QPixmap();
            if (!picture.isNull()) {
                for (const auto& target : fetch.targets) {
                    RosterManager::ROSTER_ITEM& member
                        = rosterList[target.first].contacts[target.second];
                    (avatars ? member.avatar : member.screenshot) = picture;
                }
            } else if (outcome.IsOk()) {
                Fail(state, Api::Outcome::BadAnswer, fetch.address + QStringLiteral(": ") + why);
            } else {
                Fail(state, outcome);
            }
            if (chain != rosterChain)
                return;
            if (--pendingRosterPictures == 0)
                RosterPicturesDone(chain, kind);
            else
                FetchNextRosterPicture(chain, kind);
        }));
}

// The same bytes at the same address as in the last pass give the picture of the last pass: no
// decoding, and the roster sees that nothing changed, so it repaints nothing.
QPixmap RestAPI::RosterPicture(
    PictureKind kind, const QString& address, const QByteArray& bytes, QString* why)
{
    const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
    LoadedPicture loaded = previousPictures.value(address);
    if (loaded.digest != digest || loaded.picture.isNull()) {
        const QImage image = ServicePicture::Decode(bytes,
            kind == PictureKind::Avatar ? ServicePicture::Kind::Avatar
                                        : ServicePicture::Kind::Screenshot,
            why);
        if (image.isNull())
            return QPixmap();
        loaded.digest = digest;
        loaded.picture = QPixmap::fromImage(image);
    }
    loadedPictures[int(kind)].insert(address, loaded);
    return loaded.picture;
}

void RestAPI::RosterPicturesDone(quint64 chain, PictureKind kind)
{
    if (kind == PictureKind::Screenshot) {
        emit ApiDataOk(ApiResult::Success(AllSnapshotsLoaded));
        return;
    }
    emit ApiDataOk(ApiResult::Success(AllAvatarsLoaded));
    if (chain == rosterChain && isNeedScreenshots)
        LoadRosterPicturesLater(chain, PictureKind::Screenshot);
}

// The answer just delivered may have kept the GUI thread busy with a whole roster: the pass
// starts from an event of its own, so the window can paint in between. The flags were read when
// the answer went out, as ever.
void RestAPI::LoadRosterPicturesLater(quint64 chain, PictureKind kind)
{
    QMetaObject::invokeMethod(
        this,
        [this, chain, kind] {
            if (chain == rosterChain)
                LoadRosterPictures(chain, kind);
        },
        Qt::QueuedConnection);
}

void RestAPI::DropRosterChain()
{
    // Counting up first makes the requests of the old chain answer nothing.
    ++rosterChain;
    const QSet<quint64> running = std::exchange(rosterRequests, {});
    if (requests) {
        for (const quint64 request : running)
            requests->Abort(request);
    }
    rosterRelease.Release(std::move(rosterList));
    rosterPictureQueue.clear();
    pendingRosterPictures = 0;
}

void RestAPI::LoadToolImages(quint64 round)
{
    QList<int> withImage;
    for (int index = 0; index < teamWorkTools.size(); ++index) {
        if (!teamWorkTools.at(index).imageUrl.isEmpty())
            withImage.append(index);
    }
    if (withImage.isEmpty()) {
        emit ApiDataOk(ApiResult::Success(AllToolsLoaded));
        return;
    }
    if (!CheckCanSend(TeamWorkToolsDownloadImage))
        return;
    pendingToolImages = withImage.size();
    for (const int index : qAsConst(withImage)) {
        FetchPicture(
            TeamWorkToolsDownloadImage, teamWorkTools.at(index).imageUrl,
            [this, round] { return round == toolsRound; },
            [this, round, index](const Outcome& outcome) {
                TeamWorkTool& tool = teamWorkTools[index];
                QString why;
                const QImage image = outcome.IsOk()
                    ? ServicePicture::Decode(outcome.body, ServicePicture::Kind::Avatar, &why)
                    : QImage();
                tool.imageLoaded = !image.isNull();
                if (tool.imageLoaded)
                    tool.image = QPixmap::fromImage(image);
                else if (outcome.IsOk())
                    Fail(TeamWorkToolsDownloadImage, Api::Outcome::BadAnswer,
                        tool.imageUrl + QStringLiteral(": ") + why);
                else
                    Fail(TeamWorkToolsDownloadImage, outcome);
                if (round == toolsRound && --pendingToolImages == 0)
                    emit ApiDataOk(ApiResult::Success(AllToolsLoaded));
            });
    }
}
