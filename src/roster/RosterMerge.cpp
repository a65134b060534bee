#include "RosterMerge.h"

RosterMerge::Plan RosterMerge::PlanFor(const GroupList& shown, const GroupList& received)
{
    if (shown.size() != received.size())
        return Plan::FullReload;
    for (int team = 0; team < shown.size(); ++team) {
        const QList<Member>& before = shown.at(team).contacts;
        const QList<Member>& now = received.at(team).contacts;
        if (shown.at(team).groupID != received.at(team).groupID || before.size() != now.size())
            return Plan::FullReload;
        for (int member = 0; member < before.size(); ++member) {
            if (before.at(member).contactID != now.at(member).contactID)
                return Plan::FullReload;
        }
    }
    return Plan::PatchRows;
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

bool RosterMerge::HasPicture(const QPixmap& picture)
{
    return picture.width() > 0 && picture.height() > 0;
}

bool RosterMerge::DownloadFailed(const QPixmap& picture, const QString& address)
{
    return !HasPicture(picture) && !address.isEmpty();
}
