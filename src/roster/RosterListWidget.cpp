#include "RosterListWidget.h"

RosterListWidget::RosterListWidget(QWidget* parent) : QListWidget(parent) { }

bool RosterListWidget::MayMoveRows(
    const QModelIndex& first, const QModelIndex& last, const QVector<int>& roles)
{
    // No roles named: anything may have changed.
    if (first != last || !first.isValid() || roles.isEmpty())
        return true;
    return roles.contains(Qt::SizeHintRole) || !first.data(Qt::SizeHintRole).isValid();
}

void RosterListWidget::dataChanged(
    const QModelIndex& topLeft, const QModelIndex& bottomRight, const QVector<int>& roles)
{
    if (MayMoveRows(topLeft, bottomRight, roles))
        QListWidget::dataChanged(topLeft, bottomRight, roles);
    else
        // The item view's own handling: the row is painted again, nothing is laid out.
        QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
}
