#pragma once

#include <optional>

// When the stop reminder and the memo reminder come and how they show. The main window keeps
// their timers and dialogs and asks these rules. Their intervals are the lists the member picks
// from, as they are: MOVARELQUINTASH_TIME_SCALE shortens captures and sampling only.
namespace ReminderSchedule {

// How a reminder shows. The preferences store it for each reminder (STOP_REMINDER_TYPE,
// MEMO_REMINDER_TYPE) as these numbers, the positions of the choices in the preferences.
enum class Kind
{
    Dialog = 0,
    Notice = 1, // the stop reminder's tray balloon, the memo reminder's notification popup
    None = 2,
};

// The kind a stored number names; a number that names none shows nothing.
Kind KindOf(int stored);

// The stop reminder's interval as stored (STOP_REMINDER_TIMEOUT): its position in the list.
enum class StopIntervalIndex
{
    Minutes2 = 0,
    Minutes5 = 1,
    Minutes10 = 2,
    Minutes15 = 3,
    Minutes30 = 4,
};

// The memo reminder's interval as stored (REMIND_MODE): its position in the memo dialog's list.
// Never is also what the store keeps while the memo reminder is off.
enum class MemoIntervalIndex
{
    Minutes15 = 0,
    Minutes30 = 1,
    Hour1 = 2,
    Hours2 = 3,
    Never = 4,
};

// The stop reminder's interval list (2, 5, 10, 15, 30 minutes), also its dialog's snooze, in
// milliseconds. A stored position the list never had gives 15 minutes, not a reminder every
// millisecond or none at all.
int StopInterval(int index);

// The interval a check arms the stop reminder with, starting it anew. None while tracking or
// when the member wants no stop reminder: then its timer is left as it is.
std::optional<int> StopReminderArming(bool tracking, bool wanted, int intervalIndex);

// What a tick of the stop reminder shows: nothing once tracking runs again.
Kind StopReminderShown(bool tracking, int storedKind);

// The memo dialog's interval list (15, 30 minutes, 1, 2 hours, never) in milliseconds; 0 means no
// reminder, as does any position outside the list.
int MemoInterval(int index);

// Whether a memo given with this interval arms the memo reminder: a positive interval does. A new
// memo always ends the reminder of the one before, and a reminder comes once per memo.
bool MemoReminderArmed(int intervalMs);

} // namespace ReminderSchedule
