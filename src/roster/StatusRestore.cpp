#include "StatusRestore.h"

namespace {

constexpr auto cached = RosterManager::STATUS_ONLINE_CACHED;

} // namespace

bool StatusRestore::IsIdle(Status status)
{
    return status == RosterManager::STATUS_IDLE_WORKING || status == RosterManager::STATUS_IDLE;
}

StatusRestore::Status StatusRestore::Available(bool tracking)
{
    return tracking ? RosterManager::STATUS_ONLINE_WORKING : RosterManager::STATUS_ONLINE;
}

StatusRestore::Status StatusRestore::Busy(bool tracking)
{
    return tracking ? RosterManager::STATUS_DND_WORKING : RosterManager::STATUS_DND;
}

StatusRestore::IdleStep StatusRestore::OnIdleTime(
    int idleMs, Status shown, bool tracking, const Query& network)
{
    IdleStep step;
    if (idleMs >= idleLimitMs) {
        // A status put up while idle (a stop's) is covered again at the next check.
        if (!IsIdle(shown)) {
            Keep(shown);
            step.show = tracking ? RosterManager::STATUS_IDLE_WORKING : RosterManager::STATUS_IDLE;
        }
        step.idleBegun = !idle;
        idle = true;
        return step;
    }
    if (!idle || idleMs > inputJustNowMs)
        return step;
    idle = false;
    // Back at the desk while the network is still gone: straight to the cached status.
    step.show = tracking && !network() ? cached : Restored(tracking);
    return step;
}

std::optional<StatusRestore::Status> StatusRestore::OnNetworkLost(Status shown)
{
    // While idle the idle status stays; the cached one follows at the first input.
    if (shown == cached || idle)
        return std::nullopt;
    Keep(shown);
    return cached;
}

std::optional<StatusRestore::Status> StatusRestore::OnNetworkBack(Status shown, bool tracking) const
{
    if (shown != cached)
        return std::nullopt;
    return Restored(tracking);
}

std::optional<StatusRestore::Status> StatusRestore::OnCheckNotTracking(
    Status shown, const Query& network) const
{
    if (shown != cached || idle || !network())
        return std::nullopt;
    return Restored(false);
}

StatusRestore::Status StatusRestore::OnCaptureCached(Status shown)
{
    Keep(shown);
    return cached;
}

// An idle or cached status decides by the status it stands in for.
StatusRestore::Status StatusRestore::AtStart(Status shown, bool workingAtStart) const
{
    if (workingAtStart || Underlying(shown) == RosterManager::STATUS_ONLINE)
        return RosterManager::STATUS_ONLINE_WORKING;
    return RosterManager::STATUS_DND_WORKING;
}

StatusRestore::Status StatusRestore::AtStop(Status shown) const
{
    return Underlying(shown) == RosterManager::STATUS_ONLINE_WORKING ? RosterManager::STATUS_ONLINE
                                                                     : RosterManager::STATUS_DND;
}

void StatusRestore::Forget()
{
    kept = RosterManager::STATUS_ONLINE;
    idle = false;
}

StatusRestore::Status StatusRestore::Underlying(Status shown) const
{
    return IsIdle(shown) || shown == cached ? kept : shown;
}

StatusRestore::Status StatusRestore::Restored(bool tracking) const
{
    switch (kept) {
    case RosterManager::STATUS_ONLINE_WORKING:
    case RosterManager::STATUS_ONLINE:
        return Available(tracking);
    case RosterManager::STATUS_DND_WORKING:
    case RosterManager::STATUS_DND:
        return Busy(tracking);
    default:
        return kept;
    }
}

// Keeps the status shown unless it is itself an idle or cached one standing in for another.
void StatusRestore::Keep(Status shown)
{
    if (!IsIdle(shown) && shown != cached && shown != RosterManager::STATUS_NONE)
        kept = shown;
}
