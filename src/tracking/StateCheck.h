#pragma once

#include "MadeOnFirstUse.h"
#include "RosterManager.h"
#include "StatusRestore.h"
#include "UniverseDeviceChecker.h"

#include <QCoreApplication>
#include <QString>

#include <functional>

class LogManager;
struct TrackingEnvironment;

// The state checker's tick: one look at idle time, lock, screen saver, the open chats, input
// counting and the network, which changes the own status by the StatusRestore rule, stops
// tracking on a lock, and writes to the activity log only what changed since the tick before
// (idle begun, another number of chats, the network gone or back), so the log grows with
// events, not with time.
class StateCheck
{
    Q_DECLARE_TR_FUNCTIONS(StateCheck)
public:
    // What the check asks of the window and tells it, each when it is needed.
    struct Context
    {
        std::function<bool()> grabRunning; // a capture's grab holds the X server
        std::function<bool()> tracking;
        std::function<RosterManager::STATUS()> status;
        std::function<void(RosterManager::STATUS)> changeStatus;
        std::function<void()> stopTracking; // as the time control does
        std::function<int()> teamCount;
        std::function<void(const QString&)> showCount; // of the chats, or the teams
    };

    // `restore` is the window's, which tracking's start and stop and the captures ask too.
    StateCheck(const TrackingEnvironment& environment, StatusRestore& restore, LogManager& log,
        Context context);

    void Tick();
    // A tick waits for a running grab: the window runs it once the grab is back.
    bool PutOff() const { return ticksPutOff > 0; }
    // A new tracking period: the warning that input cannot be counted may show again.
    void TrackingStarted() { warningShown = false; }

private:
    void CheckIdleTime();
    void CheckLockAndScreensaver();
    void ShowChatAndTeamCount();
    void CheckUniverseAccess();
    void CheckNetwork();
    StatusRestore::Query NetworkQuery() const;

    const TrackingEnvironment& environment;
    StatusRestore& restore;
    LogManager& log;
    Context context;
    // The warning that input cannot be counted, made when first shown.
    MadeOnFirstUse<UniverseDeviceChecker> warning;
    bool warningShown = false; // in this tracking period
    // What the activity log was last told of the chats and the network (-1: nothing yet).
    int loggedChatCount = -1;
    int loggedNetwork = -1;
    int ticksPutOff = 0; // waiting for a grab to come back
};
