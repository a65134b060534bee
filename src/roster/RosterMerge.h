#pragma once

#include "RosterManager.h"

#include <QFlags>
#include <QList>
#include <QPair>
#include <QVector>

#include <functional>

// The rules by which a refresh's roster reaches the one shown, decided from the records alone:
// whether the rows can be patched or the roster is drawn anew, which members' rows are patched
// and what of each changes, what the screenshot and avatar passes give a row, and what pictures a
// full reload keeps. The window applies what these decide and touches only the rows and roles
// they name.
class RosterMerge
{
public:
    using GroupList = QList<RosterManager::ROSTER_GROUP_ITEM>;
    using Member = RosterManager::ROSTER_ITEM;

    enum class Plan
    {
        PatchRows, // same teams under the same names, same members, same order: rows are patched
        FullReload // anything else: the model is replaced and the roster drawn anew
    };

    // What a refresh changes of one member it lists.
    enum Change
    {
        NoChange = 0,
        WorkingChanged = 0x1,
        MemoChanged = 0x2,
        WorkedTimeChanged = 0x4,
        ScreenshotArrived = 0x8, // the member had none; only a member with a row takes it
        StatusChanged = 0x10,
        CrossedOffline = 0x20 // the status went to or from offline
    };
    Q_DECLARE_FLAGS(Changes, Change)

    // What the screenshot pass does with a member's row and record.
    enum class ScreenshotStep
    {
        Keep, // nothing changes
        Take, // the received picture replaces the one shown
        StoppedWorking // no picture any more: the member stopped working
    };

    // A member by its team's position in a received roster and its own within the team.
    using Position = QPair<int, int>;
    // The row of the member with these team and member ids, -1 when it has none.
    using RowOf = std::function<int(int groupID, int contactID)>;

    // A member a refresh patches. The records are valid until the model changes.
    struct Patch
    {
        const Member* shown = nullptr; // the model's record
        const Member* received = nullptr;
        int row = -1; // -1: the member has no row, only the model takes the change
        Changes changes;
    };

    // A member row the screenshot pass patches. The records are valid until the model changes.
    struct ScreenshotPatch
    {
        const Member* shown = nullptr;
        const Member* received = nullptr;
        int row = -1;
        ScreenshotStep step = ScreenshotStep::Keep;
    };

    // Equal counts alone are not enough: a member leaving while another joins would keep the
    // leaver's row and hide the newcomer.
    static Plan PlanFor(const GroupList& shown, const GroupList& received);
    // Whether a received team may keep the rows of the one shown at its place: the same id and
    // name, and the same members in the same order. A patch writes members only, so a renamed
    // team would keep its old name in its row and in the team selector.
    static bool SameTeam(const RosterManager::ROSTER_GROUP_ITEM& shown,
        const RosterManager::ROSTER_GROUP_ITEM& received);

    static Changes Compare(const Member& shown, const Member& received, bool hasRow);

    // The same picture as the one shown (the REST client hands back the picture it already had
    // when the service sends the same bytes) is kept: its row is not touched.
    static ScreenshotStep ScreenshotPass(const Member& shown, const Member& received);

    // With PatchRows, hands `apply` in roster order each received member (of those `only` names,
    // or every one when it is null) that the model holds and that changed. Each is looked up
    // through the model's index and the row index, and decided against the model as the patches
    // before it left it: `apply` may write its member back (a member listed twice ends as its
    // last listing says).
    static void ForEachPatch(const GroupList& received, const QVector<Position>* only,
        const RosterManager& shown, const RowOf& rowOf,
        const std::function<void(const Patch&)>& apply);
    // The screenshot pass: hands `apply` in roster order each received member with a row whose
    // picture ScreenshotPass does not keep, decided as ForEachPatch decides.
    static void ForEachScreenshotPatch(const GroupList& received, const RosterManager& shown,
        const RowOf& rowOf, const std::function<void(const ScreenshotPatch&)>& apply);

    // A full reload arrives without pictures; members who stay keep the ones already downloaded
    // until the next picture pass brings newer ones. A member `received` lists without a
    // screenshot no longer works and gets none.
    static GroupList WithPicturesKept(GroupList received, const GroupList& shown);

    // The avatar the avatar pass gives the member row with these ids, from its answer (held in a
    // model of its own for the lookup): none when the answer does not list the member, or lists
    // an avatar that did not arrive; the row and the model keep theirs.
    static const QPixmap* AvatarFor(const RosterManager& answer, int groupID, int contactID);

    // Pixels in both directions; a failed download arrives as a null picture.
    static bool HasPicture(const QPixmap& picture);
    // A picture the service lists that did not arrive: the one shown stays.
    static bool DownloadFailed(const QPixmap& picture, const QString& address);
};

Q_DECLARE_OPERATORS_FOR_FLAGS(RosterMerge::Changes)
