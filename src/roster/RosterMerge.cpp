#include "RosterMerge.h"

#include <QHash>

namespace {

using GroupList = RosterMerge::GroupList;
using Member = RosterMerge::Member;

// Calls `visit` with each received member `only` names, or with every received member when it
// is null.
template<typename Visit>
void ForEachReceived(
    const GroupList& received, const QVector<RosterMerge::Position>* only, Visit visit)
{
    if (only) {
        for (const RosterMerge::Position& position : *only)
            visit(received.at(position.first).contacts.at(position.second));
        return;
    }
    for (const RosterManager::ROSTER_GROUP_ITEM& team : received) {
        for (const Member& update : team.contacts)
            visit(update);
    }
}

} // namespace

RosterMerge::Plan RosterMerge::PlanFor(const GroupList& shown, const GroupList& received)
{
    if (shown.size() != received.size())
        return Plan::FullReload;
    for (int team = 0; team < shown.size(); ++team) {
        if (!SameTeam(shown.at(team), received.at(team)))
            return Plan::FullReload;
    }
    return Plan::PatchRows;
}

bool RosterMerge::SameTeam(
    const RosterManager::ROSTER_GROUP_ITEM& shown, const RosterManager::ROSTER_GROUP_ITEM& received)
{
    const QList<Member>& before = shown.contacts;
    const QList<Member>& now = received.contacts;
    if (shown.groupID != received.groupID || shown.name != received.name
        || before.size() != now.size())
        return false;
    for (int member = 0; member < before.size(); ++member) {
        if (before.at(member).contactID != now.at(member).contactID)
            return false;
    }
    return true;
}

RosterMerge::Changes RosterMerge::Compare(const Member& shown, const Member& received, bool hasRow)
{
    Changes changes;
    if (shown.isWorking != received.isWorking)
        changes |= WorkingChanged;
    if (shown.memo != received.memo)
        changes |= MemoChanged;
    if (shown.workedTime != received.workedTime)
        changes |= WorkedTimeChanged;
    if (hasRow && !HasPicture(shown.screenshot) && HasPicture(received.screenshot))
        changes |= ScreenshotArrived;
    if (shown.status != received.status) {
        changes |= StatusChanged;
        const bool wasOffline = shown.status == RosterManager::STATUS_OFFLINE;
        if (wasOffline != (received.status == RosterManager::STATUS_OFFLINE))
            changes |= CrossedOffline;
    }
    return changes;
}

RosterMerge::ScreenshotStep RosterMerge::ScreenshotPass(const Member& shown, const Member& received)
{
    if (DownloadFailed(received.screenshot, received.screenshotUrl))
        return ScreenshotStep::Keep;
    if (HasPicture(received.screenshot)) {
        const bool same = received.screenshot.cacheKey() == shown.screenshot.cacheKey();
        return same ? ScreenshotStep::Keep : ScreenshotStep::Take;
    }
    return HasPicture(shown.screenshot) ? ScreenshotStep::StoppedWorking : ScreenshotStep::Keep;
}

void RosterMerge::ForEachPatch(const GroupList& received, const QVector<Position>* only,
    const RosterManager& shown, const RowOf& rowOf, const std::function<void(const Patch&)>& apply)
{
    ForEachReceived(received, only, [&](const Member& update) {
        const Member* now = shown.FindRosterItem(update.groupID, update.contactID);
        if (!now)
            return;
        const int row = rowOf(update.groupID, update.contactID);
        const Changes changes = Compare(*now, update, row >= 0);
        if (changes != NoChange)
            apply(Patch { now, &update, row, changes });
    });
}

void RosterMerge::ForEachScreenshotPatch(const GroupList& received, const RosterManager& shown,
    const RowOf& rowOf, const std::function<void(const ScreenshotPatch&)>& apply)
{
    ForEachReceived(received, nullptr, [&](const Member& update) {
        const Member* now = shown.FindRosterItem(update.groupID, update.contactID);
        if (!now)
            return;
        const int row = rowOf(update.groupID, update.contactID);
        if (row < 0)
            return;
        const ScreenshotStep step = ScreenshotPass(*now, update);
        if (step != ScreenshotStep::Keep)
            apply(ScreenshotPatch { now, &update, row, step });
    });
}

RosterMerge::GroupList RosterMerge::WithPicturesKept(GroupList received, const GroupList& shown)
{
    QHash<int, QPixmap> avatars;
    QHash<int, QPixmap> screenshots;
    for (const RosterManager::ROSTER_GROUP_ITEM& group : shown) {
        for (const Member& member : group.contacts) {
            if (HasPicture(member.avatar))
                avatars.insert(member.contactID, member.avatar);
            if (HasPicture(member.screenshot))
                screenshots.insert(member.contactID, member.screenshot);
        }
    }
    for (RosterManager::ROSTER_GROUP_ITEM& group : received) {
        for (Member& member : group.contacts) {
            if (!HasPicture(member.avatar))
                member.avatar = avatars.value(member.contactID);
            // A member the service lists without a screenshot no longer works.
            if (!HasPicture(member.screenshot) && !member.screenshotUrl.isEmpty())
                member.screenshot = screenshots.value(member.contactID);
        }
    }
    return received;
}

const QPixmap* RosterMerge::AvatarFor(const RosterManager& answer, int groupID, int contactID)
{
    const Member* listed = answer.FindRosterItem(groupID, contactID);
    if (!listed || DownloadFailed(listed->avatar, listed->avatarUrl))
        return nullptr;
    return &listed->avatar;
}

bool RosterMerge::HasPicture(const QPixmap& picture)
{
    return picture.width() > 0 && picture.height() > 0;
}

bool RosterMerge::DownloadFailed(const QPixmap& picture, const QString& address)
{
    return !HasPicture(picture) && !address.isEmpty();
}
