#pragma once

#include "RosterManager.h"

#include <functional>
#include <optional>

// The member's own status while idle time, a lost network or a capture kept in the cache shows
// a status of its own over it, and when tracking starts or stops under such a status. The status
// such a stand-in replaced is kept once (never an idle or cached one) and given back as it reads
// in the tracking state of the moment: a working status only while tracking. Idle shows over
// network loss. The status shown stays the window's; each call is told it and says what to
// show, so one state check changes the status at most once.
class StatusRestore
{
public:
    using Status = RosterManager::STATUS;
    // Asked only when the answer decides something: the platform's look at the network is slow.
    using Query = std::function<bool()>;

    // Away from the desk from this idle time on; back at it at input within this last second.
    // An idle time between the two changes nothing.
    static constexpr int idleLimitMs = 900 * 1000;
    static constexpr int inputJustNowMs = 999;

    // What one state check's idle time asks for.
    struct IdleStep
    {
        std::optional<Status> show; // the status to show, when it changes
        bool idleBegun = false; // the first check of an idle period: the activity log tells it
    };

    // The statuses the member picks from the menu, as they read in the tracking state.
    static Status Available(bool tracking);
    static Status Busy(bool tracking);
    // Each sign-in starts available and not tracking, whatever was shown before.
    static Status AtSignIn() { return RosterManager::STATUS_ONLINE; }

    IdleStep OnIdleTime(int idleMs, Status shown, bool tracking, const Query& network);
    std::optional<Status> OnNetworkLost(Status shown);
    // The network is there again while tracking.
    std::optional<Status> OnNetworkBack(Status shown, bool tracking) const;
    // A state check while not tracking: the cached status left by the last save of a tracking
    // period goes once the network is there, as it would while tracking.
    std::optional<Status> OnCheckNotTracking(Status shown, const Query& network) const;
    // A capture went to the cache, or could not be kept: the cached status shows.
    Status OnCaptureCached(Status shown);

    // Tracking starts: working, unless the member was busy and the settings leave it so.
    Status AtStart(Status shown, bool workingAtStart) const;
    // Tracking stops (also by a screen lock or screen saver): available only when working
    // available, else busy.
    Status AtStop(Status shown) const;

    // The member signs out: nothing of theirs is kept for the next one.
    void Forget();

    // The status an idle or cached one stands in for.
    Status Kept() const { return kept; }

private:
    static bool IsIdle(Status status);
    void Keep(Status shown);
    // The status shown, or the one an idle or cached status stands in for.
    Status Underlying(Status shown) const;
    // The kept status as it reads in this tracking state.
    Status Restored(bool tracking) const;

    Status kept = RosterManager::STATUS_ONLINE;
    bool idle = false; // idle time reached the limit, and no input came since
};
