#include "RestAPI.h"

#include "ApiXmlParser.h"
#include "AppInfo.h"
#include "Constants.h"
#include "ServiceConfig.h"
#include "ServicePicture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHostInfo>
#include <QHttpMultiPart>
#include <QMap>
#include <QMetaEnum>
#include <QNetworkReply>
#include <QSaveFile>
#include <QTimer>

#include <limits>
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
const char* const timedOutProperty = "mqTimedOut"; // the seconds waited
// The pace a request keeps on a slow line: its deadline grows by the time its bytes take at it.
constexpr qint64 slowLineBytesPerSecond = 8 * 1024;
const char* const tooLargeProperty = "mqTooLarge";
// An XML answer has the parser's bound; a picture is a few hundred kilobytes at most, and the
// installer goes to disk, not into memory.
constexpr qint64 maxAnswerBytes = ApiXmlParser::maxAnswerSize;
constexpr qint64 maxPictureBytes = 16 * 1024 * 1024;
constexpr qint64 maxInstallerBytes = 1024LL * 1024 * 1024;
constexpr int maxRosterPicturesInFlight = 12;
const char* const canceledProperty = "mqCanceled";

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

bool IsWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("https") || scheme == QLatin1String("http"));
}

// When a request must be over, whether or not it shows signs of life: its base time plus what
// the bytes it has moved so far take at a slow line's pace. An answer dripped a byte at a time
// ends there; an upload or a download that keeps the pace goes on.
class Deadline : public QTimer
{
public:
    Deadline(qint64 baseMs, QObject* parent) : QTimer(parent), baseMs(baseMs)
    {
        setSingleShot(true);
        clock.start();
        Rearm();
    }

    void SetSent(qint64 bytes)
    {
        sent = bytes;
        Rearm();
    }

    void SetReceived(qint64 bytes)
    {
        received = bytes;
        Rearm();
    }

    qint64 ElapsedMs() const { return clock.elapsed(); }

private:
    void Rearm()
    {
        const qint64 allowedMs = baseMs + (sent + received) * 1000 / slowLineBytesPerSecond;
        start(int(qBound<qint64>(0, allowedMs - clock.elapsed(), std::numeric_limits<int>::max())));
    }

    QElapsedTimer clock;
    qint64 baseMs;
    qint64 sent = 0;
    qint64 received = 0;
};

} // namespace

RestAPI::RestAPI(QObject* parent) : QObject(parent), apiBase(ServiceConfig::apiBaseUrl())
{
    qRegisterMetaType<RestAPI::ApiState>("RestAPI::ApiState");
    qRegisterMetaType<RestAPI::SecurityUserInfo>("RestAPI::SecurityUserInfo");
    qRegisterMetaType<RestAPI::UpdateInfo>("RestAPI::UpdateInfo");
    qRegisterMetaType<RestAPI::UploadAnswer>("RestAPI::UploadAnswer");
    static const bool converters
        = QMetaType::registerConverter<UploadAnswer, int>(&UploadAnswer::Id)
        && QMetaType::registerConverter<UploadAnswer, QString>(&UploadAnswer::Text);
    Q_UNUSED(converters)
    // Once the event loop runs (the sign-in dialog is up): the sign-in's request needs them.
    QTimer::singleShot(0, this, [] { ServiceConfig::prepareTrustedCaCertificates(); });
}

RestAPI::~RestAPI()
{
    if (!manager)
        return;
    // Replies die with the manager; none may call back into a half-destroyed client.
    const QList<QNetworkReply*> replies = manager->findChildren<QNetworkReply*>();
    for (QNetworkReply* reply : replies) {
        reply->disconnect(this);
        reply->abort();
    }
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
            Fail(LoginState, tr("the answer names no member"));
            return;
        }
        info.password = password;
        info.passwordMd5 = digest;
        SetApiSecurityInfo(info);
        emit ApiDataOk(LoginState, QVariant::fromValue(info));
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
        ReportLater(LoginState, false, tr("not signed in"));
        return;
    }
    DropRosterChain();
    if (!CheckCanSend(GetTeamsState))
        return;
    const quint64 chain = rosterChain;
    QNetworkReply* reply = CallApi(
        GetTeamsState, teamsPath, WithCredentials({}),
        [this, chain](const ApiXmlParser& answer) {
            rosterList = answer.ReadTeams();
            // Without a team there is nothing to track time for: the caller shows its
            // no-teams page on this error.
            if (rosterList.isEmpty()) {
                Fail(GetTeamsState, tr("no teams"));
                return;
            }
            emit ApiDataOk(GetTeamsState, rosterList.size());
            if (chain == rosterChain)
                LoadTeamMembers(chain, 0);
        },
        [this, chain] { return chain == rosterChain; });
    TrackRosterReply(reply);
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
        if (!outcome.ok) {
            Fail(UserAvatarState, outcome.error);
            return;
        }
        // The bytes are the answer; a picture its receiver would refuse to decode is a bad one.
        QString why;
        if (!ServicePicture::Check(outcome.body, ServicePicture::Kind::Avatar, &why)) {
            Fail(UserAvatarState, userInfo.profilePictureUrl + QStringLiteral(": ") + why);
            return;
        }
        Log(StateName(UserAvatarState) + QStringLiteral(" ok"));
        emit ApiDataOk(UserAvatarState, outcome.body);
    });
}

void RestAPI::GetAboutInfo()
{
    if (!RequireLogin(AboutState) || !CheckCanSend(AboutState))
        return;
    CallApi(AboutState, aboutPath, WithCredentials({}), [this](const ApiXmlParser& answer) {
        aboutInfo = answer.ReadAbout();
        emit ApiDataOk(AboutState, {});
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
            emit ApiDataOk(TeamWorkToolsState, teamWorkTools.size());
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
        emit ApiDataOk(GetUpdate, QVariant::fromValue(updateInfo));
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
        [this](const ApiXmlParser&) { emit ApiDataOk(ChatStatusState, {}); });
}

quint64 RestAPI::UploadScreenshot(const ScreenshotRecord& shot)
{
    const quint64 upload = ++lastUpload;
    if (!RequireLogin(ScreenshotUpload, upload))
        return upload;
    if (shot.image.isEmpty()) {
        ReportLater(ScreenshotUpload, false, FailureValue(tr("the capture has no image"), upload));
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
    QNetworkReply* reply = PostMultipart(ScreenshotUpload, screenshotPath, WithCredentials(fields),
        ScreenshotUploadFields::image, ScreenshotUploadFields::fileName, shot.image,
        shot.imageHoldsBoundary);
    Watch(reply, ScreenshotUpload, maxAnswerBytes, {}, [this, upload](const Outcome& outcome) {
        HandleApiOutcome(
            ScreenshotUpload, outcome,
            [this, upload](const ApiXmlParser& answer) {
                // Without the service's id the capture is not known to be stored: the caller
                // keeps it rather than count it as uploaded.
                const int id = answer.ReadScreenshotId();
                if (id < 1) {
                    Fail(ScreenshotUpload, tr("the answer holds no screenshot id"), upload);
                    return;
                }
                emit ApiDataOk(
                    ScreenshotUpload, QVariant::fromValue(UploadAnswer { upload, id, {}, {} }));
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
        ReportLater(ScreensnapUpload, false,
            FailureValue(
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
    QNetworkReply* reply = PostMultipart(ScreensnapUpload, screensnapPath, WithCredentials(fields),
        ScreensnapUploadFields::image, ScreensnapUploadFields::fileName, png);
    Watch(reply, ScreensnapUpload, maxAnswerBytes, {}, [this, upload](const Outcome& outcome) {
        HandleApiOutcome(
            ScreensnapUpload, outcome,
            [this, upload](const ApiXmlParser& answer) {
                // The address goes to the clipboard and into a link the member clicks.
                const QString shortUrl = answer.ReadShortUrl();
                if (!IsWebAddress(QUrl(shortUrl, QUrl::StrictMode))) {
                    Fail(ScreensnapUpload, tr("the answer holds no short address"), upload);
                    return;
                }
                emit ApiDataOk(ScreensnapUpload,
                    QVariant::fromValue(UploadAnswer { upload, 0, {}, shortUrl }));
            },
            upload);
    });
    return upload;
}

void RestAPI::DownloadUpdateFile(const QUrl& url, const QString& filePath)
{
    CancelUpdateDownload();
    if (!IsWebAddress(url)) {
        ReportLater(UpdateFileRecieved, false, tr("the installer address is not a web address"));
        return;
    }
    if (!CheckCanSend(UpdateFileRecieved))
        return;
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    // The installer replaces an older file of the same name only once it is complete.
    auto file = std::make_unique<QSaveFile>(filePath);
    if (!file->open(QIODevice::WriteOnly)) {
        ReportLater(UpdateFileRecieved, false, file->errorString());
        return;
    }
    QNetworkRequest request = MakeRequest(url);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    Log(StateName(UpdateFileRecieved) + QStringLiteral(" GET ") + url.toString());
    QNetworkReply* reply = Manager().get(request);
    QSaveFile* target = file.release();
    target->setParent(reply);
    updateReply = reply;
    connect(reply, &QNetworkReply::readyRead, target,
        [reply, target] { target->write(reply->readAll()); });
    connect(reply, &QNetworkReply::downloadProgress, this, &RestAPI::DownloadProgress);
    Watch(
        reply, UpdateFileRecieved, maxInstallerBytes,
        [reply] { return !reply->property(canceledProperty).toBool(); },
        [this, target, filePath](const Outcome& outcome) {
            if (!outcome.ok) {
                target->cancelWriting();
                Fail(UpdateFileRecieved, outcome.error);
                return;
            }
            target->write(outcome.body);
            if (!target->commit()) {
                Fail(UpdateFileRecieved, target->errorString());
                return;
            }
            Log(StateName(UpdateFileRecieved) + QStringLiteral(" ok: ") + filePath);
            emit ApiDataOk(UpdateFileRecieved, filePath);
        });
}

void RestAPI::CancelUpdateDownload()
{
    if (!updateReply)
        return;
    updateReply->setProperty(canceledProperty, true);
    updateReply->abort();
    updateReply = nullptr;
}

bool RestAPI::IsDownloadingUpdate() const
{
    return updateReply && !updateReply->isFinished();
}

int RestAPI::FailedHttpStatus() const
{
    return failedHttpStatus;
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
    ReportLater(NoConnection, false, FailureValue(why, upload));
    return false;
}

bool RestAPI::RequireLogin(ApiState state, quint64 upload)
{
    if (loggedIn)
        return true;
    ReportLater(state, false, FailureValue(tr("not signed in"), upload));
    return false;
}

// The text alone, or with the upload it answers for.
QVariant RestAPI::FailureValue(const QString& why, quint64 upload)
{
    return upload ? QVariant::fromValue(UploadAnswer { upload, 0, why, {} }) : QVariant(why);
}

// Answers that arise without a request still arrive from the event loop, like every other.
void RestAPI::ReportLater(ApiState state, bool ok, const QVariant& value)
{
    if (!ok)
        Log(StateName(state) + QStringLiteral(" failed: ") + value.toString());
    QMetaObject::invokeMethod(
        this,
        [this, state, ok, value] {
            if (ok)
                emit ApiDataOk(state, value);
            else
                emit ApiDataError(state, value);
        },
        Qt::QueuedConnection);
}

QNetworkAccessManager& RestAPI::Manager()
{
    if (!manager)
        manager.emplace();
    return *manager;
}

QNetworkRequest RestAPI::MakeRequest(const QUrl& url)
{
    QNetworkRequest request(url);
    if (!sslConfiguration)
        sslConfiguration = ServiceConfig::sslConfiguration();
    // Certificate errors are never ignored: a server that does not verify is unreachable.
    request.setSslConfiguration(*sslConfiguration);
    request.setHeader(QNetworkRequest::UserAgentHeader,
        AppInfo::applicationName + QLatin1Char('/') + AppInfo::version());
    return request;
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

QNetworkReply* RestAPI::PostForm(ApiState state, const QString& path, const Fields& fields)
{
    QNetworkRequest request = MakeRequest(ApiUrl(path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, MyMimeTypes::formUrlEncoded);
    Log(QStringLiteral("%1 POST %2 %3").arg(StateName(state), path, Describe(fields)));
    return Manager().post(request, FormEncode(fields));
}

QNetworkReply* RestAPI::PostMultipart(ApiState state, const QString& path, const Fields& fields,
    const QString& fileField, const QString& fileName, const QByteArray& png,
    std::optional<bool> pngHoldsBoundary)
{
    auto multiPart = std::make_unique<QHttpMultiPart>(QHttpMultiPart::FormDataType);
    // The fixed boundary must not occur inside a part; a memo could hold it, and then the
    // multipart object's own random boundary is used. A PNG whose maker looked already is not
    // searched again: read cold on the GUI thread, a 4K desktop's took up to 9 ms.
    const QByteArray boundary = MyMimeTypes::boundary.toLatin1();
    bool clash = pngHoldsBoundary ? *pngHoldsBoundary : png.contains(boundary);
    for (const auto& field : fields)
        clash = clash || field.second.toUtf8().contains(boundary);
    if (!clash)
        multiPart->setBoundary(boundary);
    for (const auto& field : fields) {
        QHttpPart part;
        part.setHeader(QNetworkRequest::ContentDispositionHeader,
            QStringLiteral("form-data; name=\"%1\"").arg(field.first));
        part.setBody(field.second.toUtf8());
        multiPart->append(part);
    }
    QHttpPart file;
    file.setHeader(QNetworkRequest::ContentTypeHeader, MyMimeTypes::png);
    file.setHeader(QNetworkRequest::ContentDispositionHeader,
        QStringLiteral("form-data; name=\"%1\"; filename=\"%2\"").arg(fileField, fileName));
    file.setBody(png);
    multiPart->append(file);

    Log(QStringLiteral("%1 POST %2 %3, %4=<%5 bytes>")
            .arg(StateName(state), path, Describe(fields), fileField)
            .arg(png.size()));
    QNetworkReply* reply = Manager().post(MakeRequest(ApiUrl(path)), multiPart.get());
    multiPart.release()->setParent(reply);
    return reply;
}

void RestAPI::Watch(QNetworkReply* reply, ApiState state, qint64 maxBytes,
    std::function<bool()> isCurrent, OutcomeHandler handler)
{
    // The time limit counts from the last sign of life, so a large upload on a slow line is
    // not cut off while it still moves; the deadline ends one that hardly moves.
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    timer->setInterval(requestTimeout);
    connect(timer, &QTimer::timeout, reply, [this, reply] {
        reply->setProperty(timedOutProperty, requestTimeout / 1000.0);
        reply->abort();
    });
    auto* deadline = new Deadline(requestDeadline, reply);
    connect(deadline, &QTimer::timeout, reply, [reply, deadline] {
        reply->setProperty(timedOutProperty, deadline->ElapsedMs() / 1000.0);
        reply->abort();
    });
    connect(reply, &QNetworkReply::uploadProgress, timer, [timer, deadline](qint64 sent) {
        timer->start();
        deadline->SetSent(sent);
    });
    connect(reply, &QNetworkReply::downloadProgress, timer,
        [reply, timer, deadline, maxBytes](qint64 received, qint64 total) {
            timer->start();
            deadline->SetReceived(received);
            // Refused as soon as it is known to be too large: announced or received.
            if (received > maxBytes || total > maxBytes) {
                reply->setProperty(
                    tooLargeProperty, tr("the answer is larger than %1 bytes").arg(maxBytes));
                reply->abort();
            }
        });
    connect(reply, &QNetworkReply::sslErrors, this, [this, state](const QList<QSslError>& errors) {
        for (const QSslError& error : errors)
            Log(StateName(state) + QStringLiteral(" TLS error: ") + error.errorString());
    });
    connect(reply, &QNetworkReply::finished, deadline, &QTimer::stop);
    connect(reply, &QNetworkReply::finished, this, [this, reply, timer, state, isCurrent, handler] {
        reply->deleteLater();
        timer->stop();
        if (isCurrent && !isCurrent())
            return;
        Outcome outcome;
        if (reply->isOpen())
            outcome.body = reply->readAll();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        outcome.httpStatus = status;
        if (reply->property(timedOutProperty).isValid())
            outcome.error
                = tr("no answer in %1 s").arg(reply->property(timedOutProperty).toDouble());
        else if (reply->property(tooLargeProperty).isValid())
            outcome.error = reply->property(tooLargeProperty).toString();
        else if (status != 0 && status != 200)
            outcome.error = QStringLiteral("HTTP %1").arg(status);
        else if (reply->error() != QNetworkReply::NoError)
            outcome.error = reply->errorString();
        else if (status != 200)
            outcome.error = tr("no HTTP answer");
        else
            outcome.ok = true;
        if (outcome.ok)
            Log(QStringLiteral("%1 HTTP 200, %2 bytes")
                    .arg(StateName(state))
                    .arg(outcome.body.size()));
        handler(outcome);
    });
    timer->start();
}

QNetworkReply* RestAPI::CallApi(ApiState state, const QString& path, const Fields& fields,
    AnswerHandler onOk, std::function<bool()> isCurrent)
{
    QNetworkReply* reply = PostForm(state, path, fields);
    Watch(reply, state, maxAnswerBytes, std::move(isCurrent),
        [this, state, onOk](const Outcome& outcome) { HandleApiOutcome(state, outcome, onOk); });
    return reply;
}

void RestAPI::HandleApiOutcome(
    ApiState state, const Outcome& outcome, const AnswerHandler& onOk, quint64 upload)
{
    if (!outcome.ok) {
        QString why = outcome.error;
        // A refusal such as 401 still says why in its body.
        const ApiXmlParser answer(outcome.body);
        if (answer.IsValid() && !(answer.ErrorCode().isEmpty() && answer.ErrorMessage().isEmpty()))
            why += QStringLiteral(", ") + answer.Problem();
        failedHttpStatus = outcome.httpStatus == 200 ? 0 : outcome.httpStatus;
        Fail(state, why, upload);
        failedHttpStatus = 0;
        return;
    }
    const ApiXmlParser answer(outcome.body);
    if (!answer.IsOk()) {
        Fail(state, answer.Problem(), upload);
        return;
    }
    Log(StateName(state) + QStringLiteral(" ok"));
    onOk(answer);
}

QNetworkReply* RestAPI::FetchPicture(
    ApiState state, const QString& address, std::function<bool()> isCurrent, OutcomeHandler handler)
{
    const QUrl url = PictureUrl(address);
    // Only web addresses: an answer must not make the client read local files.
    if (!IsWebAddress(url)) {
        const Outcome refused { false, tr("\"%1\" is not a web address").arg(address), {} };
        QMetaObject::invokeMethod(
            this,
            [isCurrent, handler, refused] {
                if (!isCurrent || isCurrent())
                    handler(refused);
            },
            Qt::QueuedConnection);
        return nullptr;
    }
    QNetworkRequest request = MakeRequest(url);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    Log(StateName(state) + QStringLiteral(" GET ") + url.toString());
    QNetworkReply* reply = Manager().get(request);
    Watch(reply, state, maxPictureBytes, std::move(isCurrent), std::move(handler));
    return reply;
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
    if (!workReply)
        SendNextWorkNotice();
}

void RestAPI::SendNextWorkNotice()
{
    workReply = nullptr;
    if (workNotices.isEmpty())
        return;
    const WorkNotice notice = workNotices.takeFirst();
    workReply = CallApi(WorkState, notice.path, WithCredentials(notice.fields),
        [this](const ApiXmlParser&) { emit ApiDataOk(WorkState, {}); });
    // Connected after the answer's own handling, which has then run.
    connect(workReply, &QNetworkReply::finished, this, &RestAPI::SendNextWorkNotice);
}

void RestAPI::Fail(ApiState state, const QString& why, quint64 upload)
{
    Log(StateName(state) + QStringLiteral(" failed: ") + why);
    emit ApiDataError(state, FailureValue(why, upload));
}

void RestAPI::Log(const QString& text)
{
    emit NetworkManagerLogSignal(text);
}

void RestAPI::LoadTeamMembers(quint64 chain, int teamIndex)
{
    if (teamIndex >= rosterList.size()) {
        emit ApiDataOk(AllTeamsLoaded, {});
        if (chain == rosterChain)
            LoadRosterPicturesLater(
                chain, isNeedAvatars ? PictureKind::Avatar : PictureKind::Screenshot);
        return;
    }
    if (!CheckCanSend(GetUsersState))
        return;
    const int teamId = rosterList.at(teamIndex).groupID;
    QNetworkReply* reply = CallApi(
        GetUsersState, membersPath,
        WithCredentials({ { QStringLiteral("team_id"), QString::number(teamId) } }),
        [this, chain, teamIndex, teamId](const ApiXmlParser& answer) {
            RosterManager::ROSTER_GROUP_ITEM& team = rosterList[teamIndex];
            team.contacts = answer.ReadMembers(teamId);
            team.isLoaded = true;
            emit ApiDataOk(GetUsersState, teamId);
            if (chain == rosterChain)
                LoadTeamMembers(chain, teamIndex + 1);
        },
        [this, chain] { return chain == rosterChain; });
    TrackRosterReply(reply);
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
    QNetworkReply* reply = FetchPicture(
        state, fetch.address, [this, chain] { return chain == rosterChain; },
        [this, chain, kind, avatars, state, fetch](const Outcome& outcome) {
            QString why;
            const QPixmap picture
                = outcome.ok ? RosterPicture(kind, fetch.address, outcome.body, &why) : QPixmap();
            if (!picture.isNull()) {
                for (const auto& target : fetch.targets) {
                    RosterManager::ROSTER_ITEM& member
                        = rosterList[target.first].contacts[target.second];
                    (avatars ? member.avatar : member.screenshot) = picture;
                }
            } else {
                Fail(state, outcome.ok ? fetch.address + QStringLiteral(": ") + why : outcome.error);
            }
            if (chain != rosterChain)
                return;
            if (--pendingRosterPictures == 0)
                RosterPicturesDone(chain, kind);
            else
                FetchNextRosterPicture(chain, kind);
        });
    TrackRosterReply(reply);
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
        emit ApiDataOk(AllSnapshotsLoaded, {});
        return;
    }
    emit ApiDataOk(AllAvatarsLoaded, {});
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

void RestAPI::TrackRosterReply(QNetworkReply* reply)
{
    if (!reply)
        return;
    rosterReplies.insert(reply);
    connect(reply, &QObject::destroyed, this, [this, reply] { rosterReplies.remove(reply); });
}

void RestAPI::DropRosterChain()
{
    // Counting up first makes the aborted replies of the old chain answer nothing.
    ++rosterChain;
    const QSet<QNetworkReply*> running = std::exchange(rosterReplies, {});
    for (QNetworkReply* reply : running)
        reply->abort();
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
        emit ApiDataOk(AllToolsLoaded, {});
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
                const QImage image = outcome.ok
                    ? ServicePicture::Decode(outcome.body, ServicePicture::Kind::Avatar, &why)
                    : QImage();
                tool.imageLoaded = !image.isNull();
                if (tool.imageLoaded)
                    tool.image = QPixmap::fromImage(image);
                else
                    Fail(TeamWorkToolsDownloadImage,
                        outcome.ok ? tool.imageUrl + QStringLiteral(": ") + why : outcome.error);
                if (round == toolsRound && --pendingToolImages == 0)
                    emit ApiDataOk(AllToolsLoaded, {});
            });
    }
}
