#pragma once

#include "RosterManager.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QSize>
#include <QVariant>

#include <array>

class QListWidget;
class QListWidgetItem;
class QWidget;

// Draws the roster model into a list widget and keeps the row styles the painter uses.
class ListWidgetManager : public QObject
{
    Q_OBJECT
public:
    // Data roles of the roster rows. They start above Qt's own roles, so the default item
    // machinery (decoration, fonts, check state) never acts on them.
    enum ITEM_ROLE
    {
        ROLE_IS_GROUP = Qt::UserRole, // bool: true on a team row
        ROLE_GROUP_ID, // int: team room id
        ROLE_CONTACT_ID, // int: member id, -1 on a team row
        ROLE_AVATAR, // QPixmap
        ROLE_SCREENSHOT, // QPixmap, null when the member has none
        ROLE_WORKING, // bool: the member tracks time
        ROLE_MEMO, // QString
        ROLE_STATUS, // int: RosterManager::STATUS
        ROLE_WORKED_TIME, // QString
        ROLE_EXPANDED // bool: a team row whose members are shown
    };
    Q_ENUM(ITEM_ROLE)

    // The slots of ListWidgetItem_Style::statusIcons: the pictures of a member row's status,
    // which the tray icon shows for the member's own status too.
    enum STATUS_ICON
    {
        STATUS_ICON_WORKING = 0, // available, tracking time
        STATUS_ICON_WORKING_BUSY = 1,
        STATUS_ICON_WORKING_IDLE = 2,
        STATUS_ICON_AVAILABLE = 3,
        STATUS_ICON_IDLE = 4,
        STATUS_ICON_BUSY = 5, // also offline, and no status
    };

    // The look of a member row.
    struct ListWidgetItem_Style
    {
        QColor nameColor { Qt::black };
        QColor color2 { 0xAC, 0xAC, 0xAC }; // memo line
        QColor timeColor { 0xAC, 0xAC, 0xAC };
        QFont nameFont;
        QFont statusFont;
        QFont timeFont;
        QColor backColor { Qt::black }; // border of the hovered or selected row
        QColor backColor2 { Qt::white }; // fill of the hovered or selected row
        QPixmap menuButton;
        QSize rowSize { 0, 50 }; // its height is the row height without a screenshot
        QSize rowSizeWithScreenshot { 0, 130 };
        QPoint offset { 66, 22 }; // x of the text column, y of the name's baseline
        QPixmap chatButton;
        QPixmap diaryButton;
        std::array<QIcon, 7> statusIcons; // by status, also the tray icon's pictures
        QColor offlineNameColor { 0x8C, 0x8C, 0x8C };
        QColor offlineStatusColor { 0xAC, 0xAC, 0xAC };
        QFont offlineNameFont;
        QFont offlineStatusFont;
    };

    // The look of a team row.
    struct ListWidgetGroup_Style
    {
        QColor backColor { Qt::black }; // border of the hovered or selected row
        QColor backColor2 { 0x32, 0x32, 0x32 }; // the row's band
        QColor textColor { Qt::white };
        QFont font;
        QSize rowSize { 0, 30 }; // its height is the row height
        QPixmap collapsedIcon;
        QPixmap expandedIcon;
    };

    explicit ListWidgetManager(QObject* parent = nullptr);

    // Clears `list` and draws `groups` into it: with `showGroups` a team row per team followed
    // by the member rows of expanded teams, else the member rows of every team; offline
    // members only with `showOffline`.
    void DrawRosterToListWidget(QListWidget* list,
        const QList<RosterManager::ROSTER_GROUP_ITEM>& groups, bool showGroups, bool showOffline);
    // Keeps the first member row of each member id and deletes the later ones.
    static void RemoveDoubleEntry(QListWidget* list);
    // The first row with these team and member ids, -1 when none.
    static int GetListWidgetItemIndexByGroupIDAndContactID(
        QListWidget* list, int groupID, int contactID);
    // Sets one data role of a row; rows out of range are ignored.
    void UpdateItemByIndex(QListWidget* list, int row, int role, const QVariant& value);
    // Sets the screenshot and working flag when the member has a screenshot and is not offline.
    void ConstructListWidgetItemWithScreenshot(
        QListWidgetItem* item, const RosterManager::ROSTER_ITEM& member);
    // Sets the roles that follow the member's status: status, avatar, row height.
    void ConstructListWidgetItemWithUserStatus(
        QListWidgetItem* item, const RosterManager::ROSTER_ITEM& member);
    static bool isGroup(const QListWidgetItem* item);
    // [team id] for a team row, [team id, member id] for a member row, empty without a row.
    static QList<int> GetGroupAndContactID(const QListWidgetItem* item);

    // Style sheet for the own status label: its text colour by status.
    static QString GetStyleForStatus(RosterManager::STATUS status);
    static QColor StatusColor(RosterManager::STATUS status);

    void SetItemStyle(const ListWidgetItem_Style& style);
    void SetGroupStyle(const ListWidgetGroup_Style& style);
    ListWidgetItem_Style GetItemStyle() const;
    ListWidgetGroup_Style GetGroupStyle() const;

    // The styles the list was last drawn with (defaults before the first drawing); the row
    // painter reads them from its list.
    static ListWidgetItem_Style ItemStyleOf(const QWidget* list);
    static ListWidgetGroup_Style GroupStyleOf(const QWidget* list);

private:
    QListWidgetItem* NewGroupItem(const RosterManager::ROSTER_GROUP_ITEM& group) const;
    QListWidgetItem* NewMemberItem(int groupID, const RosterManager::ROSTER_ITEM& member);
    void UpdateRowHeight(QListWidgetItem* item) const;

    ListWidgetItem_Style itemStyle;
    ListWidgetGroup_Style groupStyle;
};

Q_DECLARE_METATYPE(ListWidgetManager::ListWidgetItem_Style)
Q_DECLARE_METATYPE(ListWidgetManager::ListWidgetGroup_Style)
