#include "ListWidgetManager.h"

#include <QListWidget>
#include <QSet>

namespace {

// Dynamic properties of a drawn list: the styles its painter uses.
const char* const kItemStyleProperty = "rosterItemStyle";
const char* const kGroupStyleProperty = "rosterGroupStyle";

// Rows can be selected and clicked, never checked or edited.
constexpr Qt::ItemFlags kRowFlags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;

bool HasPicture(const QPixmap& picture)
{
    return picture.width() > 0 && picture.height() > 0;
}

} // namespace

ListWidgetManager::ListWidgetManager(QObject* parent) : QObject(parent) { }

void ListWidgetManager::DrawRosterToListWidget(QListWidget* list,
    const QList<RosterManager::ROSTER_GROUP_ITEM>& groups, bool showGroups, bool showOffline)
{
    if (!list)
        return;
    list->setProperty(kItemStyleProperty, QVariant::fromValue(itemStyle));
    list->setProperty(kGroupStyleProperty, QVariant::fromValue(groupStyle));

    // Rows are filled while detached, so each insertion costs one model signal and no
    // per-role change notifications.
    QList<QListWidgetItem*> rows;
    for (const RosterManager::ROSTER_GROUP_ITEM& group : groups) {
        if (showGroups) {
            rows.append(NewGroupItem(group));
            if (!group.isExpanded)
                continue;
        }
        for (const RosterManager::ROSTER_ITEM& member : group.contacts) {
            if (member.status == RosterManager::STATUS_OFFLINE && !showOffline)
                continue;
            rows.append(NewMemberItem(group.groupID, member));
        }
    }

    const bool updates = list->updatesEnabled();
    list->setUpdatesEnabled(false);
    list->clear();
    for (QListWidgetItem* row : qAsConst(rows))
        list->addItem(row);
    list->setUpdatesEnabled(updates);
}

QListWidgetItem* ListWidgetManager::NewGroupItem(
    const RosterManager::ROSTER_GROUP_ITEM& group) const
{
    auto* item = new QListWidgetItem(group.name);
    item->setFlags(kRowFlags);
    item->setData(ROLE_IS_GROUP, true);
    item->setData(ROLE_GROUP_ID, group.groupID);
    item->setData(ROLE_CONTACT_ID, -1);
    item->setData(ROLE_EXPANDED, group.isExpanded != 0);
    UpdateRowHeight(item);
    return item;
}

QListWidgetItem* ListWidgetManager::NewMemberItem(
    int groupID, const RosterManager::ROSTER_ITEM& member)
{
    auto* item = new QListWidgetItem(member.fullName);
    item->setFlags(kRowFlags);
    item->setData(ROLE_IS_GROUP, false);
    item->setData(ROLE_GROUP_ID, groupID);
    item->setData(ROLE_CONTACT_ID, member.contactID);
    item->setData(ROLE_WORKING, member.isWorking);
    item->setData(ROLE_MEMO, member.memo);
    item->setData(ROLE_WORKED_TIME, member.workedTime);
    ConstructListWidgetItemWithScreenshot(item, member);
    ConstructListWidgetItemWithUserStatus(item, member);
    return item;
}

void ListWidgetManager::RemoveDoubleEntry(QListWidget* list)
{
    if (!list)
        return;
    QSet<int> seen;
    QList<int> doubles;
    for (int row = 0; row < list->count(); ++row) {
        const QListWidgetItem* item = list->item(row);
        if (isGroup(item))
            continue;
        const int contactID = item->data(ROLE_CONTACT_ID).toInt();
        if (seen.contains(contactID))
            doubles.append(row);
        else
            seen.insert(contactID);
    }
    for (int i = doubles.size() - 1; i >= 0; --i)
        delete list->takeItem(doubles.at(i));
}

int ListWidgetManager::GetListWidgetItemIndexByGroupIDAndContactID(
    QListWidget* list, int groupID, int contactID)
{
    if (!list)
        return -1;
    for (int row = 0; row < list->count(); ++row) {
        const QListWidgetItem* item = list->item(row);
        if (item->data(ROLE_GROUP_ID).toInt() == groupID
            && item->data(ROLE_CONTACT_ID).toInt() == contactID)
            return row;
    }
    return -1;
}

void ListWidgetManager::UpdateItemByIndex(
    QListWidget* list, int row, int role, const QVariant& value)
{
    if (!list || row < 0 || row >= list->count())
        return;
    QListWidgetItem* item = list->item(row);
    item->setData(role, value);
    if (role == ROLE_SCREENSHOT || role == ROLE_STATUS)
        UpdateRowHeight(item);
}

void ListWidgetManager::ConstructListWidgetItemWithScreenshot(
    QListWidgetItem* item, const RosterManager::ROSTER_ITEM& member)
{
    if (!item || member.screenshot.width() < 1 || member.status == RosterManager::STATUS_OFFLINE)
        return;
    item->setData(ROLE_SCREENSHOT, member.screenshot);
    item->setData(ROLE_WORKING, member.isWorking);
    UpdateRowHeight(item);
}

void ListWidgetManager::ConstructListWidgetItemWithUserStatus(
    QListWidgetItem* item, const RosterManager::ROSTER_ITEM& member)
{
    if (!item)
        return;
    item->setData(ROLE_STATUS, int(member.status));
    item->setData(ROLE_AVATAR, member.avatar);
    UpdateRowHeight(item);
}

bool ListWidgetManager::isGroup(const QListWidgetItem* item)
{
    return item && item->data(ROLE_IS_GROUP).toBool();
}

QList<int> ListWidgetManager::GetGroupAndContactID(const QListWidgetItem* item)
{
    if (!item)
        return {};
    const int groupID = item->data(ROLE_GROUP_ID).toInt();
    if (isGroup(item))
        return { groupID };
    return { groupID, item->data(ROLE_CONTACT_ID).toInt() };
}

QColor ListWidgetManager::StatusColor(RosterManager::STATUS status)
{
    switch (status) {
    case RosterManager::STATUS_ONLINE_WORKING:
    case RosterManager::STATUS_ONLINE:
        return QColor(0x3B, 0xA5, 0x5C);
    case RosterManager::STATUS_IDLE_WORKING:
    case RosterManager::STATUS_IDLE:
        return QColor(0xE0, 0xA5, 0x26);
    case RosterManager::STATUS_DND_WORKING:
    case RosterManager::STATUS_DND:
        return QColor(0xD9, 0x43, 0x3B);
    case RosterManager::STATUS_ONLINE_CACHED:
        return QColor(0x3A, 0x8D, 0xDE);
    case RosterManager::STATUS_OFFLINE:
    case RosterManager::STATUS_NONE:
        break;
    }
    return QColor(0x8C, 0x8C, 0x8C);
}

QString ListWidgetManager::GetStyleForStatus(RosterManager::STATUS status)
{
    return QStringLiteral("color: %1;").arg(StatusColor(status).name());
}

void ListWidgetManager::SetItemStyle(const ListWidgetItem_Style& style)
{
    itemStyle = style;
}

void ListWidgetManager::SetGroupStyle(const ListWidgetGroup_Style& style)
{
    groupStyle = style;
}

ListWidgetManager::ListWidgetItem_Style ListWidgetManager::GetItemStyle() const
{
    return itemStyle;
}

ListWidgetManager::ListWidgetGroup_Style ListWidgetManager::GetGroupStyle() const
{
    return groupStyle;
}

ListWidgetManager::ListWidgetItem_Style ListWidgetManager::ItemStyleOf(const QWidget* list)
{
    const QVariant style = list ? list->property(kItemStyleProperty) : QVariant();
    return style.canConvert<ListWidgetItem_Style>() ? style.value<ListWidgetItem_Style>()
                                                    : ListWidgetItem_Style();
}

ListWidgetManager::ListWidgetGroup_Style ListWidgetManager::GroupStyleOf(const QWidget* list)
{
    const QVariant style = list ? list->property(kGroupStyleProperty) : QVariant();
    return style.canConvert<ListWidgetGroup_Style>() ? style.value<ListWidgetGroup_Style>()
                                                     : ListWidgetGroup_Style();
}

// Row heights travel in the size hint role, so laying out a long list needs no style
// lookups; the list view lays its rows out again when one changes.
void ListWidgetManager::UpdateRowHeight(QListWidgetItem* item) const
{
    QSize size;
    if (isGroup(item)) {
        size = groupStyle.rowSize;
    } else {
        // Offline members are drawn without their screenshot.
        const bool offline = item->data(ROLE_STATUS).toInt() == RosterManager::STATUS_OFFLINE;
        const bool screenshot = HasPicture(item->data(ROLE_SCREENSHOT).value<QPixmap>());
        size = screenshot && !offline ? itemStyle.rowSizeWithScreenshot : itemStyle.rowSize;
    }
    size = QSize(qMax(size.width(), 0), qMax(size.height(), 1));
    if (item->data(Qt::SizeHintRole).toSize() != size)
        item->setData(Qt::SizeHintRole, size);
}
