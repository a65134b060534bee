#include "RosterRowIndex.h"

#include "ListWidgetManager.h"

#include <QListWidget>

RosterRowIndex::RosterRowIndex(const QListWidget* list)
{
    if (!list)
        return;
    rows.reserve(list->count());
    for (int row = 0; row < list->count(); ++row) {
        const QListWidgetItem* item = list->item(row);
        const quint64 key = Key(item->data(ListWidgetManager::ROLE_GROUP_ID).toInt(),
            item->data(ListWidgetManager::ROLE_CONTACT_ID).toInt());
        // The first row of a pair is the one every lookup of the roster finds.
        if (!rows.contains(key))
            rows.insert(key, row);
    }
}

int RosterRowIndex::Row(int groupID, int contactID) const
{
    return rows.value(Key(groupID, contactID), -1);
}

quint64 RosterRowIndex::Key(int groupID, int contactID)
{
    return (quint64(quint32(groupID)) << 32) | quint32(contactID);
}
