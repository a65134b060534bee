#pragma once

#include <QHash>

class QListWidget;

// The rows of a drawn roster by team and member id, read in one pass over the list: a refresh of
// thousands of members finds each member's row at once rather than walking the list for each.
// It holds row numbers, so it serves while no row is added, removed or moved.
class RosterRowIndex
{
public:
    explicit RosterRowIndex(const QListWidget* list);

    // The first row with these ids (a team row has member id -1), -1 when none: the row
    // ListWidgetManager::GetListWidgetItemIndexByGroupIDAndContactID finds.
    int Row(int groupID, int contactID) const;

private:
    static quint64 Key(int groupID, int contactID);

    QHash<quint64, int> rows;
};
