#include "RosterManager.h"

#include "ListWidgetManager.h"
#include "LogCategories.h"
#include "RosterRelease.h"

#include <QHash>
#include <QListWidget>

namespace {

// A picture counts only when it has pixels in both directions; a failed download arrives
// as a null pixmap.
bool HasPicture(const QPixmap& picture)
{
    return picture.width() > 0 && picture.height() > 0;
}

} // namespace

RosterManager::RosterManager(QObject* parent) : QObject(parent) { }

RosterManager::~RosterManager() = default;

QByteArray RosterManager::TeamsKey(const QList<ROSTER_GROUP_ITEM>& groups)
{
    QByteArray key;
    for (const ROSTER_GROUP_ITEM& group : groups) {
        const int size = group.name.size();
        key.append(reinterpret_cast<const char*>(&group.groupID), sizeof group.groupID);
        key.append(reinterpret_cast<const char*>(&size), sizeof size);
        key.append(reinterpret_cast<const char*>(group.name.constData()), size * 2);
    }
    return key;
}

QList<RosterManager::ROSTER_GROUP_ITEM> RosterManager::GetRosterList() const
{
    return rosterList;
}

void RosterManager::SetRosterList(const QList<ROSTER_GROUP_ITEM>& groups, bool keepExpand)
{
    QHash<int, int> oldExpanded;
    if (keepExpand) {
        for (const ROSTER_GROUP_ITEM& group : qAsConst(rosterList)) {
            if (!oldExpanded.contains(group.groupID))
                oldExpanded.insert(group.groupID, group.isExpanded);
        }
    }
    if (!rosterList.isEmpty()) {
        if (!release)
            release = std::make_unique<RosterRelease>();
        release->Release(std::move(rosterList));
    }
    ++revision;
    rosterList = groups;
    IndexGroups();
    if (oldExpanded.isEmpty())
        return;
    for (ROSTER_GROUP_ITEM& group : rosterList) {
        const auto found = oldExpanded.constFind(group.groupID);
        if (found != oldExpanded.constEnd())
            group.isExpanded = found.value();
    }
}

void RosterManager::ClearRoster()
{
    ++revision;
    rosterList.clear();
    groupPositions.clear();
}

void RosterManager::IndexGroups()
{
    groupPositions.clear();
    for (int i = rosterList.size() - 1; i >= 0; --i)
        groupPositions.insert(rosterList.at(i).groupID, i);
}

bool RosterManager::IsNeedFullRedraw(const QList<ROSTER_GROUP_ITEM>& groups) const
{
    if (groups.size() != rosterList.size())
        return false;
    for (const ROSTER_GROUP_ITEM& group : groups) {
        const int index = GetGroupIndexByID(group.groupID);
        if (index < 0 || rosterList.at(index).contacts.size() != group.contacts.size())
            return false;
    }
    return true;
}

RosterManager::ROSTER_ITEM RosterManager::GetRosterItemByIndexes(int groupID, int contactID) const
{
    const ROSTER_ITEM* found = FindRosterItem(groupID, contactID);
    return found ? *found : ROSTER_ITEM();
}

const RosterManager::ROSTER_ITEM* RosterManager::FindRosterItem(int groupID, int contactID) const
{
    const int index = GetGroupIndexByID(groupID);
    if (index >= 0) {
        for (const ROSTER_ITEM& contact : rosterList.at(index).contacts) {
            if (contact.contactID == contactID)
                return &contact;
        }
    }
    return nullptr;
}

void RosterManager::SetRosterItemByIndexrs(int groupID, int contactID, const ROSTER_ITEM& item)
{
    if (ROSTER_ITEM* contact = FindContact(groupID, contactID))
        *contact = item;
}

RosterManager::ROSTER_ITEM RosterManager::GetRosterItemByUserName(const QString& userName) const
{
    if (userName.isEmpty())
        return ROSTER_ITEM();
    for (const ROSTER_GROUP_ITEM& group : rosterList) {
        for (const ROSTER_ITEM& contact : group.contacts) {
            if (contact.userName.compare(userName, Qt::CaseInsensitive) == 0)
                return contact;
        }
    }
    return ROSTER_ITEM();
}

// Every change of a member goes through here: the revision counts it.
RosterManager::ROSTER_ITEM* RosterManager::FindContact(int groupID, int contactID)
{
    ++revision;
    const int first = GetGroupIndexByID(groupID);
    if (first < 0)
        return nullptr;
    for (int index = first; index < rosterList.size(); ++index) {
        ROSTER_GROUP_ITEM& group = rosterList[index];
        if (group.groupID != groupID)
            continue;
        for (ROSTER_ITEM& contact : group.contacts) {
            if (contact.contactID == contactID)
                return &contact;
        }
    }
    return nullptr;
}

void RosterManager::CopyAvatarsFromListWidget(QListWidget* list)
{
    if (!list)
        return;
    for (int row = 0; row < list->count(); ++row) {
        const QListWidgetItem* item = list->item(row);
        const QVariant avatar = item->data(ListWidgetManager::ROLE_AVATAR);
        if (ListWidgetManager::isGroup(item) || !avatar.isValid())
            continue;
        ROSTER_ITEM* contact = FindContact(item->data(ListWidgetManager::ROLE_GROUP_ID).toInt(),
            item->data(ListWidgetManager::ROLE_CONTACT_ID).toInt());
        if (contact)
            contact->avatar = avatar.value<QPixmap>();
    }
}

void RosterManager::CopyScreenshotsFromRosterList(const QList<ROSTER_GROUP_ITEM>& groups)
{
    for (const ROSTER_GROUP_ITEM& group : groups) {
        for (const ROSTER_ITEM& source : group.contacts) {
            if (!HasPicture(source.screenshot))
                continue;
            ROSTER_ITEM* contact = FindContact(source.groupID, source.contactID);
            if (contact && !HasPicture(contact->screenshot)) {
                contact->screenshot = source.screenshot;
                contact->isWorking = true;
            }
        }
    }
}

RosterManager::ROSTER_GROUP_ITEM RosterManager::GetGroupRosterByID(int groupID) const
{
    const int index = GetGroupIndexByID(groupID);
    return index >= 0 ? rosterList.at(index) : ROSTER_GROUP_ITEM();
}

int RosterManager::GetGroupIndexByID(int groupID) const
{
    return groupPositions.value(groupID, -1);
}

void RosterManager::SetListItemByIndex(int index, const ROSTER_GROUP_ITEM& group)
{
    if (index < 0 || index >= rosterList.size()) {
        qCWarning(rosterLog, "RosterManager: no team at position %d", index);
        return;
    }
    ++revision;
    const int oldID = rosterList.at(index).groupID;
    rosterList[index] = group;
    if (oldID != group.groupID)
        IndexGroups();
}

void RosterManager::ExpandAll()
{
    ++revision;
    for (ROSTER_GROUP_ITEM& group : rosterList)
        group.isExpanded = 1;
}

void RosterManager::CollapseAll()
{
    ++revision;
    for (ROSTER_GROUP_ITEM& group : rosterList)
        group.isExpanded = 0;
}

int RosterManager::GetCompanyIDbyShortName(const QString& name) const
{
    for (const ROSTER_GROUP_ITEM& group : rosterList) {
        if (group.name == name)
            return group.groupID;
    }
    return -1;
}

quint64 RosterManager::Revision() const
{
    return revision;
}
