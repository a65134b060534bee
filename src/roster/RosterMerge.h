#pragma once

#include "RosterManager.h"

#include <QFlags>
#include <QList>

// The rules by which a refresh's roster reaches the one shown, decided from the records alone:
// whether the rows can be patched or the roster is drawn anew, and what of each member changes.
// A refresh then touches only the rows and roles these name.
class RosterMerge
{
public:
    using GroupList = QList<RosterManager::ROSTER_GROUP_ITEM>;
    using Member = RosterManager::ROSTER_ITEM;

    enum class Plan
    {
        PatchRows, // same teams, same members, same order: each member's row is patched
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

    // Equal counts alone are not enough: a member leaving while another joins would keep the
    // leaver's row and hide the newcomer.
    static Plan PlanFor(const GroupList& shown, const GroupList& received);

    static Changes Compare(const Member& shown, const Member& received, bool hasRow);

    // The same picture as the one shown (the REST client hands back the picture it already had
    // when the service sends the same bytes) is kept: its row is not touched.
    static ScreenshotStep ScreenshotPass(const Member& shown, const Member& received);

    // Pixels in both directions; a failed download arrives as a null picture.
    static bool HasPicture(const QPixmap& picture);
    // A picture the service lists that did not arrive: the one shown stays.
    static bool DownloadFailed(const QPixmap& picture, const QString& address);
};

Q_DECLARE_OPERATORS_FOR_FLAGS(RosterMerge::Changes)
