#include "ApiXmlParser.h"

#include "Constants.h"

#include <QXmlStreamReader>

#include <cstring>

namespace {

// Real answers nest four levels deep; anything far deeper is not an answer, and refusing it
// keeps a hostile document from exhausting memory.
constexpr int maxDepth = 32;

const char* Find(const char* from, const char* end, const char* text)
{
    const qsizetype length = qstrlen(text);
    for (const char* at = from; end - at >= length; ++at) {
        if (memcmp(at, text, size_t(length)) == 0)
            return at + length;
    }
    return end;
}

bool StartsWith(const char* at, const char* end, const char* text)
{
    const qsizetype length = qstrlen(text);
    return end - at >= length && memcmp(at, text, size_t(length)) == 0;
}

// The XML reader checks each attribute of a tag against all before it, so 100,000 attributes
// on one element cost it 5 * 10^9 steps. One '=' outside quotes stands for each attribute;
// comments and character data hold none.
bool HasCrowdedTag(const QByteArray& xml)
{
    const char* at = xml.constData();
    const char* const end = at + xml.size();
    while ((at = static_cast<const char*>(memchr(at, '<', size_t(end - at))))) {
        ++at;
        if (StartsWith(at, end, "!--")) {
            at = Find(at, end, "-->");
            continue;
        }
        if (StartsWith(at, end, "![CDATA[")) {
            at = Find(at, end, "]]>");
            continue;
        }
        int equals = 0;
        char quote = 0;
        for (; at < end && (quote || *at != '>'); ++at) {
            if (quote) {
                if (*at == quote)
                    quote = 0;
            } else if (*at == '"' || *at == '\'') {
                quote = *at;
            } else if (*at == '=' && ++equals > ApiXmlParser::maxAttributes) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

ApiXmlParser::ApiXmlParser(const QByteArray& xml)
{
    if (xml.trimmed().isEmpty()) {
        parseProblem = QStringLiteral("empty answer");
        return;
    }
    if (xml.size() > maxAnswerSize) {
        parseProblem = QStringLiteral("the answer is larger than %1 bytes").arg(maxAnswerSize);
        return;
    }
    if (HasCrowdedTag(xml)) {
        parseProblem = QStringLiteral("an element with more than %1 attributes").arg(maxAttributes);
        return;
    }
    QXmlStreamReader reader(xml);
    std::vector<Element*> open;
    bool sawRoot = false;
    int elements = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++elements > maxElements) {
                parseProblem = QStringLiteral("more than %1 elements").arg(maxElements);
                return;
            }
            if (open.empty()) {
                if (sawRoot) {
                    parseProblem = QStringLiteral("more than one root element");
                    return;
                }
                sawRoot = true;
                root.name = reader.name().toString();
                open.push_back(&root);
            } else {
                if (int(open.size()) >= maxDepth) {
                    parseProblem = QStringLiteral("elements nested too deeply");
                    return;
                }
                // Only the innermost open element grows, so the pointers to its ancestors
                // held in `open` stay valid.
                Element& parent = *open.back();
                parent.children.push_back(Element { reader.name().toString(), {}, {} });
                open.push_back(&parent.children.back());
            }
            break;
        case QXmlStreamReader::EndElement:
            open.pop_back();
            break;
        case QXmlStreamReader::Characters:
            if (!open.empty())
                open.back()->text += reader.text();
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        parseProblem = QStringLiteral("malformed XML: ") + reader.errorString();
        return;
    }
    if (root.name != FieldValues::responseElement) {
        parseProblem = QStringLiteral("the root element is not \"response\"");
        return;
    }
    valid = true;
}

bool ApiXmlParser::IsValid() const
{
    return valid;
}

bool ApiXmlParser::IsOk() const
{
    return valid && root.Text(QStringLiteral("status")) == FieldValues::statusOk;
}

bool ApiXmlParser::IsRefusal() const
{
    return valid && root.Text(QStringLiteral("status")) == FieldValues::statusError;
}

QString ApiXmlParser::ErrorCode() const
{
    const Element* error = root.Child(QStringLiteral("error"));
    return error ? error->Text(QStringLiteral("code")) : QString();
}

QString ApiXmlParser::ErrorMessage() const
{
    const Element* error = root.Child(QStringLiteral("error"));
    return error ? error->Text(QStringLiteral("message")) : QString();
}

QString ApiXmlParser::Problem() const
{
    if (!valid)
        return parseProblem;
    if (IsOk())
        return {};
    const QString status = root.Text(QStringLiteral("status"));
    if (status != FieldValues::statusError)
        return status.isEmpty() ? QStringLiteral("the answer has no status")
                                : QStringLiteral("unknown status \"%1\"").arg(status);
    QString text = QStringLiteral("error");
    if (!ErrorCode().isEmpty())
        text += QStringLiteral(" ") + ErrorCode();
    if (!ErrorMessage().isEmpty())
        text += QStringLiteral(": ") + ErrorMessage();
    return text;
}

bool ApiXmlParser::ReadLogin(RestAPI::SecurityUserInfo* info) const
{
    const Element* member = root.Child(QStringLiteral("member"));
    if (!member)
        return false;
    RestAPI::SecurityUserInfo read;
    read.memberId = member->Number(QStringLiteral("id"));
    read.hashKey = member->Text(QStringLiteral("hash_key"));
    if (read.memberId < 1 || read.hashKey.isEmpty())
        return false;
    read.memberUsername = member->Text(QStringLiteral("username"));
    read.firstName = member->Text(QStringLiteral("first_name"));
    read.lastName = member->Text(QStringLiteral("last_name"));
    read.fullName = member->Text(QStringLiteral("full_name"));
    read.profilePictureUrl = member->Text(QStringLiteral("profile_picture_url"));
    read.chatStatus = member->Text(QStringLiteral("chat_status"));
    read.lastWork = member->Text(QStringLiteral("last_work"));
    *info = read;
    return true;
}

void ApiXmlParser::ReadAhead()
{
    if (root.Child(QStringLiteral("teams")))
        teamsReadAhead = ReadTeams();
}

QList<RosterManager::ROSTER_GROUP_ITEM> ApiXmlParser::ReadTeams() const
{
    if (teamsReadAhead)
        return *teamsReadAhead;
    QList<RosterManager::ROSTER_GROUP_ITEM> teams;
    for (const Element* record : root.Records(QStringLiteral("teams"))) {
        RosterManager::ROSTER_GROUP_ITEM team;
        team.groupID = record->Number(QStringLiteral("id"));
        team.name = record->Text(QStringLiteral("name"));
        team.description = record->Text(QStringLiteral("description"));
        teams.append(team);
    }
    return teams;
}

QList<RosterManager::ROSTER_ITEM> ApiXmlParser::ReadMembers(int teamId) const
{
    QList<RosterManager::ROSTER_ITEM> members;
    for (const Element* record : root.Records(QStringLiteral("members"))) {
        RosterManager::ROSTER_ITEM member;
        member.contactID = record->Number(QStringLiteral("id"));
        member.groupID = teamId;
        member.userName = record->Text(QStringLiteral("username"));
        member.fullName = record->Text(QStringLiteral("full_name"));
        member.memo = record->Text(QStringLiteral("memo"));
        const int status = record->Number(QStringLiteral("status"));
        member.status
            = status >= RosterManager::STATUS_NONE && status <= RosterManager::STATUS_ONLINE_CACHED
            ? static_cast<RosterManager::STATUS>(status)
            : RosterManager::STATUS_NONE;
        member.isWorking = record->Number(QStringLiteral("is_working")) != 0;
        member.workedTime = record->Text(QStringLiteral("worked_time"));
        member.avatarUrl = record->Text(QStringLiteral("avatar_url"));
        member.screenshotUrl = record->Text(QStringLiteral("snapshot_url"));
        members.append(member);
    }
    return members;
}

RestAPI::AboutInfo ApiXmlParser::ReadAbout() const
{
    RestAPI::AboutInfo about;
    if (const Element* element = root.Child(QStringLiteral("about"))) {
        about.title = element->Text(QStringLiteral("title"));
        about.description = element->Text(QStringLiteral("description"));
    }
    return about;
}

QList<RestAPI::TeamWorkTool> ApiXmlParser::ReadTools() const
{
    QList<RestAPI::TeamWorkTool> tools;
    for (const Element* record : root.Records(QStringLiteral("tools"))) {
        RestAPI::TeamWorkTool tool;
        tool.title = record->Text(QStringLiteral("title"));
        tool.url = record->Text(QStringLiteral("url"));
        tool.imageUrl = record->Text(QStringLiteral("image_url"));
        tools.append(tool);
    }
    return tools;
}

RestAPI::UpdateInfo ApiXmlParser::ReadUpdate() const
{
    RestAPI::UpdateInfo update;
    if (const Element* element = root.Child(QStringLiteral("update"))) {
        update.version = element->Text(QStringLiteral("version"));
        update.downloadUrl = element->Text(QStringLiteral("download_url"));
    }
    return update;
}

int ApiXmlParser::ReadScreenshotId() const
{
    const Element* element = root.Child(QStringLiteral("screenshot"));
    return element ? element->Number(QStringLiteral("id")) : 0;
}

QString ApiXmlParser::ReadShortUrl() const
{
    const Element* element = root.Child(QStringLiteral("snap"));
    return element ? element->Text(QStringLiteral("short_url")) : QString();
}

const ApiXmlParser::Element* ApiXmlParser::Element::Child(const QString& childName) const
{
    for (const Element& child : children) {
        if (child.name == childName)
            return &child;
    }
    return nullptr;
}

QString ApiXmlParser::Element::Text(const QString& childName) const
{
    const Element* child = Child(childName);
    return child ? child->text.trimmed() : QString();
}

int ApiXmlParser::Element::Number(const QString& childName) const
{
    return Text(childName).toInt();
}

std::vector<const ApiXmlParser::Element*> ApiXmlParser::Element::Records(
    const QString& listName) const
{
    std::vector<const Element*> records;
    if (const Element* list = Child(listName)) {
        for (const Element& child : list->children) {
            if (child.name == FieldValues::recordElement)
                records.push_back(&child);
        }
    }
    return records;
}
