#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QString>

#include <memory>

class QListWidget;
class RosterRelease;

// The model of the member's team rooms and their members.
class RosterManager : public QObject
{
    Q_OBJECT
public:
    // A member's status, also the own status.
    enum STATUS
    {
        STATUS_NONE = 0,
        STATUS_ONLINE_WORKING = 1,
        STATUS_DND_WORKING = 2,
        STATUS_IDLE_WORKING = 3,
        STATUS_ONLINE = 4,
        STATUS_IDLE = 5,
        STATUS_DND = 6,
        STATUS_OFFLINE = 7,
        STATUS_ONLINE_CACHED = 8
    };
    Q_ENUM(STATUS)

    // One member of one team room.
    struct ROSTER_ITEM
    {
        int contactID = -1; // member identifier
        int groupID = -1; // team room identifier
        QString fullName; // shown name
        QString userName; // chat login name
        QString memo;
        STATUS status = STATUS_NONE;
        bool isWorking = false; // the member tracks time
        QString workedTime; // "HH:mm:ss" as the service sends it
        QString avatarUrl;
        QString screenshotUrl;
        QPixmap avatar;
        QPixmap screenshot; // null or empty: no screenshot
    };

    // One team room.
    struct ROSTER_GROUP_ITEM
    {
        int groupID = -1;
        QString name; // the team's short name, shown and matched exactly
        QString description;
        int isExpanded = 1; // used as a flag: 1 expanded
        bool isLoaded = false; // its members have arrived
        QList<ROSTER_ITEM> contacts;
    };

    explicit RosterManager(QObject* parent = nullptr);
    ~RosterManager() override;

    QList<ROSTER_GROUP_ITEM> GetRosterList() const;
    // The teams' ids and names in order, in one block: menus that list the teams compare it with
    // what they were made from instead of asking hundreds of actions, which on a refresh
    // touched each of them on cold memory to find nothing changed.
    static QByteArray TeamsKey(const QList<ROSTER_GROUP_ITEM>& groups);
    // Replaces the teams; with `keepExpand` a team already known by its id keeps its folding.
    // The teams replaced are freed a few at a time in later turns of the event loop.
    void SetRosterList(const QList<ROSTER_GROUP_ITEM>& groups, bool keepExpand);
    void ClearRoster();

    // True when a partial row update suffices: same number of teams, and each team of
    // `groups` has as many members as the model's team with the same id.
    bool IsNeedFullRedraw(const QList<ROSTER_GROUP_ITEM>& groups) const;

    // The member in the first team with this id, or the not-found record (both ids -1).
    ROSTER_ITEM GetRosterItemByIndexes(int groupID, int contactID) const;
    // The same member without a copy, null when not found; valid until the model changes.
    const ROSTER_ITEM* FindRosterItem(int groupID, int contactID) const;
    // Overwrites the member in the first team with this id that holds it; no match, no change.
    void SetRosterItemByIndexrs(int groupID, int contactID, const ROSTER_ITEM& item);
    // The first member with this chat user name (compared case-insensitively), or the
    // not-found record.
    ROSTER_ITEM GetRosterItemByUserName(const QString& userName) const;

    // Takes the avatars shown in the member rows back into the model.
    void CopyAvatarsFromListWidget(QListWidget* list);
    // Gives members without a screenshot the one `groups` holds for them, and marks them
    // working.
    void CopyScreenshotsFromRosterList(const QList<ROSTER_GROUP_ITEM>& groups);

    // The first team with this id, or an unfilled team record (id -1).
    ROSTER_GROUP_ITEM GetGroupRosterByID(int groupID) const;
    int GetGroupIndexByID(int groupID) const; // -1 when none
    // Overwrites the team at this list position; a position out of range changes nothing.
    void SetListItemByIndex(int index, const ROSTER_GROUP_ITEM& group);

    void ExpandAll();
    void CollapseAll();

    // The id of the first team whose name equals `name` exactly, -1 when none.
    int GetCompanyIDbyShortName(const QString& name) const;

    // Counts up whenever the teams or members change: work done against the roster at one
    // revision still holds while it is the same.
    quint64 Revision() const;

private:
    // The member in the first team with this id that holds it.
    ROSTER_ITEM* FindContact(int groupID, int contactID);
    void IndexGroups();

    QList<ROSTER_GROUP_ITEM> rosterList;
    // The list position of the first team of each id: a refresh looks up every member of
    // hundreds of teams.
    QHash<int, int> groupPositions;
    // Made when a first roster is replaced.
    std::unique_ptr<RosterRelease> release;
    quint64 revision = 0;
};

Q_DECLARE_METATYPE(RosterManager::ROSTER_ITEM)
Q_DECLARE_METATYPE(RosterManager::ROSTER_GROUP_ITEM)
