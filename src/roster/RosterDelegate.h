#pragma once

#include <QPoint>
#include <QStyledItemDelegate>

class QListWidget;
struct RosterRowLayout;

// Paints the roster rows from the styles the list was drawn with, and reports clicks on a
// team row and on a member row's buttons.
class RosterDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // The click target in a row.
    enum BUTTON_TYPES
    {
        BUTTON_ROW = 0,
        BUTTON_MENU = 1,
        BUTTON_WORK_DIARY = 2,
        BUTTON_CHAT = 3
    };
    Q_ENUM(BUTTON_TYPES)

    explicit RosterDelegate(QListWidget* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The click area of a member row's button, for a row drawn in `rowRect`.
    QRect ButtonRect(const QRect& rowRect, BUTTON_TYPES button) const;

signals:
    // A left-button release on a team row (its id, -1, BUTTON_ROW) or on a member row's
    // button. `mouseArea` is the release point in the list widget's coordinates.
    void OnItemClickAction(
        int groupID, int contactID, RosterDelegate::BUTTON_TYPES button, QPoint mouseArea);

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;

private:
    const QWidget* ListOf(const QStyleOptionViewItem& option) const;
    void PaintGroupRow(
        QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void PaintMemberRow(
        QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void ReportRelease(
        const QStyleOptionViewItem& option, const QModelIndex& index, const QPoint& viewportPos);
};
