#include "FakeService.h"

#include "SampleData.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTime>
#include <QXmlStreamWriter>

#include <algorithm>
#include <functional>

namespace {

using Response = FakeHttpServer::Response;
using Writer = std::function<void(QXmlStreamWriter&)>;

QByteArray Xml(const QString& status, const Writer& content)
{
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("response"));
    writer.writeTextElement(QStringLiteral("status"), status);
    if (content)
        content(writer);
    writer.writeEndElement();
    writer.writeEndDocument();
    return xml;
}

Response Ok(const Writer& content = {})
{
    return { 200, "text/xml; charset=utf-8", Xml(QStringLiteral("ok"), content), 0 };
}

Response Error(int httpStatus, const QString& code, const QString& message)
{
    return { httpStatus, "text/xml; charset=utf-8",
        Xml(QStringLiteral("error"),
            [&](QXmlStreamWriter& writer) {
                writer.writeStartElement(QStringLiteral("error"));
                writer.writeTextElement(QStringLiteral("code"), code);
                writer.writeTextElement(QStringLiteral("message"), message);
                writer.writeEndElement();
            }),
        0 };
}

Response Text(int status, const QByteArray& text)
{
    return { status, "text/plain; charset=utf-8", text + '\n', 0 };
}

void Records(QXmlStreamWriter& writer, const QString& list,
    const QList<QList<QPair<QString, QString>>>& records)
{
    writer.writeStartElement(list);
    for (const auto& record : records) {
        writer.writeStartElement(QStringLiteral("numeric-key"));
        for (const auto& field : record)
            writer.writeTextElement(field.first, field.second);
        writer.writeEndElement();
    }
    writer.writeEndElement();
}

QString Md5(const QString& text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString Missing(const FormParser& form, const QStringList& names)
{
    QStringList missing;
    for (const QString& name : names) {
        if (!form.fields.contains(name))
            missing << name;
    }
    return missing.join(QLatin1String(", "));
}

// 40 MB of empty elements: well-formed, but far beyond any real answer.
QByteArray HugeAnswer()
{
    QByteArray body = "<?xml version=\"1.0\"?><response><status>ok</status>";
    body += QByteArray("<a/>").repeated(10 * 1024 * 1024);
    return body + "</response>";
}

// 1 MB: a status and 100,000 attributes on the root element.
QByteArray CrowdedAnswer()
{
    QByteArray body = "<?xml version=\"1.0\"?><response";
    for (int i = 0; i < 100000; ++i)
        body += " a" + QByteArray::number(i) + "=\"\"";
    return body + "><status>ok</status></response>";
}

bool IsTime(const QString& text)
{
    return QTime::fromString(text, QStringLiteral("HH:mm:ss")).isValid();
}

const QStringList screenshotFields { "title", "active_window", "key_strokes", "mouse_clicks",
    "host_name", "team_id", "working_time", "capture_date", "capture_time" };
const QStringList screensnapFields { "title", "description", "active_window", "key_strokes",
    "mouse_clicks", "host_name", "team_id", "permission", "password" };

} // namespace

FakeService::FakeService(const Options& options, QObject* parent)
    : QObject(parent), options(options), rule(options.failRule)
{
    if (!options.recordDir.isEmpty())
        QDir().mkpath(options.recordDir);
    RestoreSampleData();
    Resume();
}

// A service started again on the folder of an earlier run carries on after the outage as the
// real one does: the hash keys handed out stay valid and the numbering goes on.
void FakeService::Resume()
{
    if (options.recordDir.isEmpty())
        return;
    const QDir dir(options.recordDir);
    QFile keys(dir.filePath(QStringLiteral("sessions.json")));
    if (keys.open(QIODevice::ReadOnly)) {
        const QJsonObject saved = QJsonDocument::fromJson(keys.readAll()).object();
        for (auto it = saved.constBegin(); it != saved.constEnd(); ++it)
            sessions.insert(it.key(), it.value().toInt());
    }
    QFile requests(dir.filePath(QStringLiteral("requests.jsonl")));
    if (requests.open(QIODevice::ReadOnly))
        requestCount = int(requests.readAll().count('\n'));
    uploadCount = dir.entryList({ QStringLiteral("upload-*.json") }, QDir::Files).size();
}

void FakeService::SaveSessions() const
{
    if (options.recordDir.isEmpty())
        return;
    QJsonObject saved;
    for (auto it = sessions.cbegin(); it != sessions.cend(); ++it)
        saved.insert(it.key(), it.value());
    QFile keys(QDir(options.recordDir).filePath(QStringLiteral("sessions.json")));
    if (keys.open(QIODevice::WriteOnly))
        keys.write(QJsonDocument(saved).toJson(QJsonDocument::Compact));
}

void FakeService::RestoreSampleData()
{
    teams = SampleData::Teams();
    members.clear();
    const QList<SampleData::Member> all = SampleData::Members();
    for (const SampleData::Member& member : all)
        members.insert(member.id, member);
    brokenAvatars.clear();
    brokenSnapshots.clear();
    servedPictures.clear();
    aboutDescription
        = QStringLiteral("Track your time, share your progress & chat with your team.");
    if (options.rosterTeams > 0)
        GenerateLargeRoster();
}

// The member "demo" first in every team, then members of that team only: every seventh offline,
// every fifth of the others tracking time with a screenshot, every one with an avatar.
void FakeService::GenerateLargeRoster()
{
    constexpr int demoId = 1001;
    teams.clear();
    for (int t = 0; t < options.rosterTeams; ++t) {
        SampleData::Team team { 100 + t, QStringLiteral("Team %1").arg(t + 1, 3, 10, QChar('0')),
            QStringLiteral("Generated team %1").arg(t + 1), { demoId } };
        for (int m = 1; m < options.rosterMembers; ++m) {
            const int id = 100000 + t * options.rosterMembers + m;
            const bool offline = m % 7 == 0;
            const bool working = !offline && m % 5 == 0;
            members.insert(id,
                { id, QStringLiteral("member%1").arg(id), QStringLiteral("Member %1").arg(id),
                    QStringLiteral("Task %1").arg(id),
                    offline       ? 7
                        : working ? 1
                                  : 4,
                    working, working ? QStringLiteral("02:10:00") : QStringLiteral("00:00:00"),
                    true, working });
            team.memberIds.append(id);
        }
        teams.append(team);
    }
}

QByteArray FakeService::Picture(const QString& kind, int memberId)
{
    const QString key = kind + QString::number(memberId);
    auto cached = pictureCache.constFind(key);
    if (cached == pictureCache.constEnd()) {
        cached = pictureCache.insert(key,
            kind == QLatin1String("avatar") ? SampleData::AvatarPng(memberId)
                                            : SampleData::SnapshotPng(memberId));
    }
    return cached.value();
}

QList<SampleData::Team> FakeService::TeamsOf(int memberId) const
{
    QList<SampleData::Team> found;
    for (const SampleData::Team& team : teams) {
        if (team.memberIds.contains(memberId))
            found.append(team);
    }
    return found;
}

bool FakeService::IsMemberOf(int memberId, const QString& teamText) const
{
    bool ok = false;
    const int teamId = teamText.toInt(&ok);
    for (const SampleData::Team& team : TeamsOf(memberId)) {
        if (ok && team.id == teamId)
            return true;
    }
    return false;
}

QStringList FakeService::FailModes()
{
    return { QStringLiteral("http500"), QStringLiteral("malformed"), QStringLiteral("slow"),
        QStringLiteral("drip"), QStringLiteral("auth"), QStringLiteral("huge"),
        QStringLiteral("attributes"), QStringLiteral("bad-id") };
}

FakeHttpServer::Response FakeService::Handle(const FakeHttpServer::Request& request)
{
    const QString base
        = QStringLiteral("https://") + QString::fromUtf8(request.headers.value("host"));
    FormParser form;
    const bool formOk = form.Parse(request.headers.value("content-type"), request.body);
    if (request.method == "POST" && request.path.startsWith(QLatin1String("/control/")))
        return formOk ? HandleControl(request.path.mid(9), form) : Text(400, "bad form");
    const bool api = request.method == "POST" && request.path.startsWith(QLatin1String("/k4p/"));
    if (request.method != "GET" && !api)
        return Text(404, "not found");

    Response response;
    const bool failing = formOk && FailureFor(request.path, api, &response);
    if (!formOk)
        response = Error(400, QStringLiteral("fields"), QStringLiteral("unreadable form body"));
    else if (!failing || IsLate(rule.mode)) {
        // A slow answer is the right answer, only late; a dripped one comes a byte at a time.
        response = api ? HandleApi(request.path, form, base) : HandleGet(request.path);
        if (failing && rule.mode == QLatin1String("slow"))
            response.delayMs = rule.delayMs;
        else if (failing)
            response.dripMs = rule.delayMs;
    }
    if (api)
        Record(request.path, form, response.status);
    return response;
}

FakeHttpServer::Response FakeService::HandleControl(const QString& command, const FormParser& form)
{
    if (command == QLatin1String("fail")) {
        const QString mode = form.fields.value(QStringLiteral("mode"));
        if (!FailModes().contains(mode) && mode != QLatin1String("none"))
            return Text(400, "unknown mode");
        rule = FailRule();
        rule.mode = mode == QLatin1String("none") ? QString() : mode;
        rule.path = form.fields.value(QStringLiteral("path"));
        rule.after = form.fields.value(QStringLiteral("after")).toInt();
        rule.times = form.fields.value(QStringLiteral("times")).toInt();
        if (form.fields.contains(QStringLiteral("delay")))
            rule.delayMs = form.fields.value(QStringLiteral("delay")).toInt();
        return Text(200, "ok");
    }
    if (command == QLatin1String("reset")) {
        rule = FailRule();
        RestoreSampleData();
        return Text(200, "ok");
    }
    if (command == QLatin1String("team"))
        return ChangeTeam(form);
    if (command == QLatin1String("member"))
        return ChangeMember(form);
    if (command == QLatin1String("picture"))
        return ServePicture(form);
    if (command == QLatin1String("about")) {
        aboutDescription = form.fields.value(QStringLiteral("description"));
        return Text(200, "ok");
    }
    if (command == QLatin1String("expire")) {
        sessions.clear();
        SaveSessions();
        return Text(200, "ok");
    }
    return Text(404, "unknown control request");
}

// Adds a member to a team (at its end) or removes one, or renames the team.
FakeHttpServer::Response FakeService::ChangeTeam(const FormParser& form)
{
    const int teamId = form.fields.value(QStringLiteral("id")).toInt();
    auto team = std::find_if(teams.begin(), teams.end(),
        [teamId](const SampleData::Team& candidate) { return candidate.id == teamId; });
    if (team == teams.end())
        return Text(404, "unknown team");
    if (form.fields.contains(QStringLiteral("add"))) {
        const int memberId = form.fields.value(QStringLiteral("add")).toInt();
        if (!members.contains(memberId))
            return Text(404, "unknown member");
        if (!team->memberIds.contains(memberId))
            team->memberIds.append(memberId);
    }
    if (form.fields.contains(QStringLiteral("remove")))
        team->memberIds.removeAll(form.fields.value(QStringLiteral("remove")).toInt());
    if (form.fields.contains(QStringLiteral("name")))
        team->name = form.fields.value(QStringLiteral("name"));
    return Text(200, "ok");
}

// Changes what the members list says of a member, and its pictures: "yes", "no" or "broken".
FakeHttpServer::Response FakeService::ChangeMember(const FormParser& form)
{
    const int memberId = form.fields.value(QStringLiteral("id")).toInt();
    if (!members.contains(memberId))
        return Text(404, "unknown member");
    SampleData::Member& member = members[memberId];
    const auto field = [&form](const char* name) {
        return form.fields.value(QString::fromLatin1(name));
    };
    const auto has = [&form](const char* name) {
        return form.fields.contains(QString::fromLatin1(name));
    };
    if (has("status"))
        member.status = field("status").toInt();
    if (has("working"))
        member.working = field("working") == QLatin1String("1");
    if (has("memo"))
        member.memo = field("memo");
    if (has("worked_time"))
        member.workedTime = field("worked_time");
    // "yes", "no" or "broken"; false for anything else.
    const auto setPicture = [&](const char* name, bool& listed, QSet<int>& broken) {
        const QString state = field(name);
        if (state != QLatin1String("yes") && state != QLatin1String("no")
            && state != QLatin1String("broken"))
            return false;
        listed = state != QLatin1String("no");
        if (state == QLatin1String("broken"))
            broken.insert(memberId);
        else
            broken.remove(memberId);
        return true;
    };
    if (has("avatar") && !setPicture("avatar", member.hasAvatar, brokenAvatars))
        return Text(400, "unknown picture state");
    if (has("snapshot") && !setPicture("snapshot", member.hasSnapshot, brokenSnapshots))
        return Text(400, "unknown picture state");
    return Text(200, "ok");
}

bool FakeService::IsLate(const QString& mode)
{
    return mode == QLatin1String("slow") || mode == QLatin1String("drip");
}

// Serves a picture of the format and size asked for at the path, in place of what is there.
FakeHttpServer::Response FakeService::ServePicture(const FormParser& form)
{
    const QString format = form.fields.value(QStringLiteral("format"));
    const QByteArray picture
        = SampleData::Picture(format, form.fields.value(QStringLiteral("width")).toInt(),
            form.fields.value(QStringLiteral("height")).toInt());
    if (picture.isEmpty())
        return Text(400, "unknown picture format");
    servedPictures.insert(form.fields.value(QStringLiteral("path")),
        { 200, SampleData::PictureType(format), picture, 0 });
    return Text(200, "ok");
}

// Whether `path` is to fail now; counts the request against the rule. A "slow" or "drip"
// failure leaves `failure` alone: the caller holds back the right answer.
bool FakeService::FailureFor(const QString& path, bool api, Response* failure)
{
    if (rule.mode.isEmpty())
        return false;
    const bool matches = rule.path.isEmpty()   ? api
        : rule.path.endsWith(QLatin1Char('*')) ? path.startsWith(rule.path.chopped(1))
                                               : path == rule.path;
    if (!matches)
        return false;
    ++rule.matched;
    if (rule.matched <= rule.after || (rule.times > 0 && rule.matched > rule.after + rule.times))
        return false;
    if (rule.mode == QLatin1String("http500"))
        *failure = Error(500, QStringLiteral("server"), QStringLiteral("Internal error"));
    else if (rule.mode == QLatin1String("malformed"))
        *failure = { 200, "text/xml; charset=utf-8",
            "<?xml version=\"1.0\"?><response><status>ok</status><teams><numeric-key>", 0 };
    else if (rule.mode == QLatin1String("auth"))
        *failure = Error(401, QStringLiteral("auth"), QStringLiteral("The session has expired"));
    else if (rule.mode == QLatin1String("huge"))
        *failure = { 200, "text/xml; charset=utf-8", HugeAnswer(), 0 };
    else if (rule.mode == QLatin1String("attributes"))
        *failure = { 200, "text/xml; charset=utf-8", CrowdedAnswer(), 0 };
    else if (rule.mode == QLatin1String("bad-id"))
        *failure = Ok([](QXmlStreamWriter& writer) {
            writer.writeStartElement(QStringLiteral("screenshot"));
            writer.writeTextElement(QStringLiteral("id"), QStringLiteral("5O01"));
            writer.writeEndElement();
        });
    return true;
}

FakeHttpServer::Response FakeService::HandleApi(
    const QString& path, const FormParser& form, const QString& base)
{
    if (path == QLatin1String("/k4p/auth/login:var"))
        return HandleLogin(form, base);

    const int memberId = form.fields.value(QStringLiteral("member_id")).toInt();
    const QString key = form.fields.value(QStringLiteral("hash_key"));
    if (key.isEmpty() || sessions.value(key, -1) != memberId)
        return Error(401, QStringLiteral("auth"), QStringLiteral("The session has expired"));

    if (path == QLatin1String("/k4p/teams/list:var")) {
        return Ok([this, memberId](QXmlStreamWriter& writer) {
            QList<QList<QPair<QString, QString>>> records;
            for (const SampleData::Team& team : TeamsOf(memberId))
                records.append({ { "id", QString::number(team.id) }, { "name", team.name },
                    { "description", team.description } });
            Records(writer, QStringLiteral("teams"), records);
        });
    }
    if (path == QLatin1String("/k4p/teams/members:var")) {
        const QString team = form.fields.value(QStringLiteral("team_id"));
        if (!IsMemberOf(memberId, team))
            return Error(200, QStringLiteral("team"), QStringLiteral("No such team"));
        return Ok([this, team, memberId, base](QXmlStreamWriter& writer) {
            QList<QList<QPair<QString, QString>>> records;
            for (const SampleData::Team& sample : TeamsOf(memberId)) {
                if (QString::number(sample.id) != team)
                    continue;
                for (const int id : sample.memberIds) {
                    const SampleData::Member member = members.value(id);
                    const QString number = QString::number(id);
                    records.append({ { "id", number }, { "username", member.username },
                        { "full_name", member.fullName }, { "memo", member.memo },
                        { "status", QString::number(member.status) },
                        { "is_working", member.working ? "1" : "0" },
                        { "worked_time", member.workedTime },
                        { "avatar_url",
                            member.hasAvatar ? base + "/pictures/avatar/" + number + ".png"
                                             : QString() },
                        { "snapshot_url",
                            member.hasSnapshot ? base + "/pictures/snapshot/" + number + ".png"
                                               : QString() } });
                }
            }
            Records(writer, QStringLiteral("members"), records);
        });
    }
    if (path == QLatin1String("/k4p/chat/status:var")) {
        const QStringList statuses { "online", "do not disturb", "offline" };
        if (!statuses.contains(form.fields.value(QStringLiteral("status"))))
            return Error(200, QStringLiteral("fields"), QStringLiteral("Unknown chat status"));
        return Ok();
    }
    if (path == QLatin1String("/k4p/work/start:var")
        || path == QLatin1String("/k4p/work/stop:var")) {
        if (!IsMemberOf(memberId, form.fields.value(QStringLiteral("team_id")))
            || !IsTime(form.fields.value(QStringLiteral("time"))))
            return Error(200, QStringLiteral("fields"), QStringLiteral("Bad team or time"));
        return Ok();
    }
    if (path == QLatin1String("/k4p/info/about:var")) {
        return Ok([this](QXmlStreamWriter& writer) {
            writer.writeStartElement(QStringLiteral("about"));
            writer.writeTextElement(
                QStringLiteral("title"), QStringLiteral("Movarelquintash Team Room"));
            writer.writeTextElement(QStringLiteral("description"), aboutDescription);
            writer.writeEndElement();
        });
    }
    if (path == QLatin1String("/k4p/info/tools:var")) {
        return Ok([base](QXmlStreamWriter& writer) {
            QList<QList<QPair<QString, QString>>> records;
            const QList<SampleData::Tool> tools = SampleData::Tools();
            for (int index = 0; index < tools.size(); ++index)
                records.append({ { "title", tools.at(index).title },
                    { "url", base + tools.at(index).page },
                    { "image_url", base + "/pictures/tool/" + QString::number(index) + ".png" } });
            Records(writer, QStringLiteral("tools"), records);
        });
    }
    if (path == QLatin1String("/k4p/update/check:var")) {
        const QString missing = Missing(form, { "os", "version" });
        if (!missing.isEmpty())
            return Error(400, QStringLiteral("fields"), QStringLiteral("Missing: ") + missing);
        const QString version = options.updateVersion;
        return Ok([version, base](QXmlStreamWriter& writer) {
            writer.writeStartElement(QStringLiteral("update"));
            writer.writeTextElement(QStringLiteral("version"), version);
            writer.writeTextElement(QStringLiteral("download_url"),
                version.isEmpty()
                    ? QString()
                    : base + "/downloads/movarelquintash-client_" + version + "_amd64.deb");
            writer.writeEndElement();
        });
    }
    if (path == QLatin1String("/k4p/diary/screenshot:var")
        || path == QLatin1String("/k4p/snaps/upload:var"))
        return HandleUpload(path, form, base);
    return Error(404, QStringLiteral("path"), QStringLiteral("Unknown request"));
}

FakeHttpServer::Response FakeService::HandleLogin(const FormParser& form, const QString& base)
{
    const QString missing = Missing(form, { "login", "password", "os", "version" });
    if (!missing.isEmpty())
        return Error(400, QStringLiteral("fields"), QStringLiteral("Missing: ") + missing);
    const QString login = form.fields.value(QStringLiteral("login"));
    const QString digest = form.fields.value(QStringLiteral("password"));
    for (const SampleData::Account& account : SampleData::Accounts()) {
        if (account.login != login || Md5(account.password) != digest)
            continue;
        const QString key = QString::fromLatin1(
            QByteArray::number(QRandomGenerator::global()->generate64(), 16).rightJustified(16, '0')
            + QByteArray::number(QRandomGenerator::global()->generate64(), 16)
                  .rightJustified(16, '0'));
        sessions.insert(key, account.memberId);
        SaveSessions();
        return Ok([&account, key, base](QXmlStreamWriter& writer) {
            const QString id = QString::number(account.memberId);
            writer.writeStartElement(QStringLiteral("member"));
            writer.writeTextElement(QStringLiteral("id"), id);
            writer.writeTextElement(QStringLiteral("hash_key"), key);
            writer.writeTextElement(QStringLiteral("username"), account.login);
            writer.writeTextElement(QStringLiteral("first_name"), account.firstName);
            writer.writeTextElement(QStringLiteral("last_name"), account.lastName);
            writer.writeTextElement(
                QStringLiteral("full_name"), account.firstName + ' ' + account.lastName);
            writer.writeTextElement(
                QStringLiteral("profile_picture_url"), base + "/pictures/avatar/" + id + ".png");
            writer.writeTextElement(QStringLiteral("chat_status"), QStringLiteral("online"));
            writer.writeTextElement(QStringLiteral("last_work"), account.lastWork);
            writer.writeEndElement();
        });
    }
    return Error(200, QStringLiteral("login"), QStringLiteral("Wrong login or password"));
}

FakeHttpServer::Response FakeService::HandleUpload(
    const QString& path, const FormParser& form, const QString& base)
{
    const bool screenshot = path == QLatin1String("/k4p/diary/screenshot:var");
    const QString missing = Missing(form, screenshot ? screenshotFields : screensnapFields);
    if (!missing.isEmpty())
        return Error(400, QStringLiteral("fields"), QStringLiteral("Missing: ") + missing);
    const FormParser::File image = form.files.value(QStringLiteral("image"));
    const QString expectedName
        = screenshot ? QStringLiteral("screenshot.png") : QStringLiteral("screensnap.png");
    if (image.contentType != "image/png" || image.fileName != expectedName
        || !image.data.startsWith("\x89PNG\r\n\x1a\n"))
        return Error(
            400, QStringLiteral("image"), QStringLiteral("The image part is not a PNG file"));
    bool numbers = true;
    for (const QString& name : { QStringLiteral("key_strokes"), QStringLiteral("mouse_clicks"),
             QStringLiteral("team_id") }) {
        bool ok = false;
        form.fields.value(name).toInt(&ok);
        numbers = numbers && ok;
    }
    if (!numbers)
        return Error(
            400, QStringLiteral("fields"), QStringLiteral("Counts and team must be numbers"));

    if (screenshot) {
        if (!IsTime(form.fields.value(QStringLiteral("capture_time")))
            || !IsTime(form.fields.value(QStringLiteral("working_time")))
            || !QDate::fromString(form.fields.value(QStringLiteral("capture_date")), Qt::ISODate)
                    .isValid())
            return Error(400, QStringLiteral("fields"), QStringLiteral("Bad date or time"));
        RecordUpload(QStringLiteral("screenshot"), form);
        return Ok([this](QXmlStreamWriter& writer) {
            writer.writeStartElement(QStringLiteral("screenshot"));
            writer.writeTextElement(QStringLiteral("id"), QString::number(5000 + uploadCount));
            writer.writeEndElement();
        });
    }
    const QStringList permissions { "Public", "Team", "Password" };
    if (!permissions.contains(form.fields.value(QStringLiteral("permission"))))
        return Error(400, QStringLiteral("fields"), QStringLiteral("Unknown permission"));
    RecordUpload(QStringLiteral("screensnap"), form);
    const QString code = QStringLiteral("snap%1").arg(uploadCount, 4, 10, QLatin1Char('0'));
    snaps.insert(code, image.data);
    return Ok([base, code](QXmlStreamWriter& writer) {
        writer.writeStartElement(QStringLiteral("snap"));
        writer.writeTextElement(QStringLiteral("short_url"), base + "/s/" + code);
        writer.writeEndElement();
    });
}

FakeHttpServer::Response FakeService::HandleGet(const QString& path)
{
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (servedPictures.contains(path))
        return servedPictures.value(path);
    const auto png = [](const QByteArray& bytes) {
        return Response { 200, "image/png", bytes, 0 };
    };
    if (parts.size() == 3 && parts.at(0) == QLatin1String("pictures")
        && parts.at(2).endsWith(QLatin1String(".png"))) {
        bool ok = false;
        const int id = parts.at(2).chopped(4).toInt(&ok);
        const SampleData::Member member = members.value(id, SampleData::FindMember(0));
        if (ok && parts.at(1) == QLatin1String("avatar") && member.hasAvatar)
            return png(
                brokenAvatars.contains(id) ? SampleData::EmptyPng() : Picture(parts.at(1), id));
        if (ok && parts.at(1) == QLatin1String("snapshot") && member.hasSnapshot)
            return png(
                brokenSnapshots.contains(id) ? SampleData::EmptyPng() : Picture(parts.at(1), id));
        if (ok && parts.at(1) == QLatin1String("tool") && id >= 0
            && id < SampleData::Tools().size())
            return png(SampleData::ToolPng(id));
    }
    if (parts.size() == 2 && parts.at(0) == QLatin1String("downloads")
        && !options.updateVersion.isEmpty())
        return { 200, "application/octet-stream", SampleData::InstallerBytes(), 0 };
    if (parts.size() == 2 && parts.at(0) == QLatin1String("s") && snaps.contains(parts.at(1)))
        return png(snaps.value(parts.at(1)));
    if (parts.size() == 2 && parts.at(0) == QLatin1String("tools"))
        return { 200, "text/html; charset=utf-8",
            "<html><body><h1>" + parts.at(1).toUtf8() + "</h1></body></html>\n", 0 };
    return Text(404, "not found");
}

void FakeService::Record(const QString& path, const FormParser& form, int status)
{
    ++requestCount;
    if (options.recordDir.isEmpty())
        return;
    QJsonObject fields;
    for (auto it = form.fields.cbegin(); it != form.fields.cend(); ++it)
        fields.insert(it.key(), it.value());
    QJsonObject line { { "seq", requestCount }, { "path", path }, { "status", status },
        { "fields", fields } };
    QFile file(QDir(options.recordDir).filePath(QStringLiteral("requests.jsonl")));
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
}

// Writes upload-NNNN.png and upload-NNNN.json before the answer leaves, so a client that
// got its answer finds them.
void FakeService::RecordUpload(const QString& kind, const FormParser& form)
{
    ++uploadCount;
    const QString name = QStringLiteral("upload-%1").arg(uploadCount, 4, 10, QLatin1Char('0'));
    if (options.recordDir.isEmpty())
        return;
    const QDir dir(options.recordDir);
    const FormParser::File image = form.files.value(QStringLiteral("image"));
    QFile png(dir.filePath(name + ".png"));
    if (png.open(QIODevice::WriteOnly))
        png.write(image.data);
    QJsonObject fields;
    for (auto it = form.fields.cbegin(); it != form.fields.cend(); ++it)
        fields.insert(it.key(), it.value());
    const QJsonObject record { { "kind", kind }, { "fields", fields },
        { "image_file", name + ".png" }, { "image_filename", image.fileName },
        { "image_content_type", QString::fromLatin1(image.contentType) },
        { "image_size", image.data.size() } };
    // Renamed into place whole: a test that lists the uploads meanwhile never reads half of one.
    QSaveFile json(dir.filePath(name + ".json"));
    if (json.open(QIODevice::WriteOnly)) {
        json.write(QJsonDocument(record).toJson());
        json.commit();
    }
}
