#include "ReminderSchedule.h"

#include <array>

namespace {

constexpr int minute = 60 * 1000;
constexpr std::array<int, 5> stopIntervals { 2 * minute, 5 * minute, 10 * minute, 15 * minute,
    30 * minute };
constexpr int defaultStopIndex = int(ReminderSchedule::StopIntervalIndex::Minutes15);
constexpr std::array<int, 5> memoIntervals { 15 * minute, 30 * minute, 60 * minute, 120 * minute,
    0 };

} // namespace

namespace ReminderSchedule {

Kind KindOf(int stored)
{
    switch (stored) {
    case int(Kind::Dialog):
        return Kind::Dialog;
    case int(Kind::Notice):
        return Kind::Notice;
    default:
        return Kind::None;
    }
}

int StopInterval(int index)
{
    if (index < 0 || index >= int(stopIntervals.size()))
        index = defaultStopIndex;
    return stopIntervals[size_t(index)];
}

std::optional<int> StopReminderArming(bool tracking, bool wanted, int intervalIndex)
{
    if (tracking || !wanted)
        return std::nullopt;
    return StopInterval(intervalIndex);
}

Kind StopReminderShown(bool tracking, int storedKind)
{
    return tracking ? Kind::None : KindOf(storedKind);
}

int MemoInterval(int index)
{
    return index >= 0 && index < int(memoIntervals.size()) ? memoIntervals[size_t(index)] : 0;
}

bool MemoReminderArmed(int intervalMs)
{
    return intervalMs > 0;
}

} // namespace ReminderSchedule
