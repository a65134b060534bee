#pragma once

#include <QListWidget>

// The roster's list. A list view lays out every row again whenever any row's data changes, as
// the row's height might have: for a roster of thousands of rows that held the window for
// milliseconds at each changed memo or status. The roster's rows carry their height
// (Qt::SizeHintRole, which the row painter answers with), so a change of one row that leaves its
// height alone repaints that row only; a change of the height, a row without one, or a change of
// several rows at once is laid out as before.
class RosterListWidget : public QListWidget
{
    Q_OBJECT
public:
    explicit RosterListWidget(QWidget* parent = nullptr);

    // Whether a change of `roles` in the rows from `first` to `last` may move rows.
    static bool MayMoveRows(
        const QModelIndex& first, const QModelIndex& last, const QVector<int>& roles);

protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
        const QVector<int>& roles) override;
};
