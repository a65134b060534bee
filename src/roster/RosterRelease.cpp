#include "RosterRelease.h"

#include <cstdlib>
#include <memory>

namespace {

// The C library keeps small freed blocks aside unmerged until a large block is asked for, and
// then merges every one of them at once: a whole roster's blocks, 10 ms and more, at whatever
// next asks for a large block (a network buffer, a teams answer). Asking for one at the end of
// each slice merges the slice's blocks within the slice.
void MergeFreedBlocks()
{
    constexpr std::size_t kLargeBlock = 64 * 1024;
    void* block = std::malloc(kLargeBlock);
    // The compiler may not drop a request whose block is written to.
    if (block)
        static_cast<volatile char*>(block)[0] = 0;
    std::free(block);
}

// The pass is dropped in the refresh's own turn of the event loop, which has its work to do: a
// slice right behind it made one stall of both.
constexpr int firstSliceDelayMs = 50;

} // namespace

RosterRelease::RosterRelease(QObject* parent) : QObject(parent)
{
    nextSlice.setSingleShot(true);
    connect(&nextSlice, &QTimer::timeout, this, &RosterRelease::FreeSlice);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    clock = [started] {
        return started->nsecsElapsed();
    };
}

RosterRelease::~RosterRelease() = default;

void RosterRelease::Release(Teams&& teams)
{
    if (teams.isEmpty())
        return;
    pending.append(Teams());
    pending.last().swap(teams);
    if (!nextSlice.isActive())
        nextSlice.start(firstSliceDelayMs);
}

bool RosterRelease::FreeSlice()
{
    const qint64 start = clock();
    while (!pending.isEmpty()) {
        FreeOnePiece();
        if (clock() - start >= sliceBudget)
            break;
    }
    MergeFreedBlocks();
    if (pending.isEmpty())
        return false;
    nextSlice.start(0);
    return true;
}

bool RosterRelease::IsIdle() const
{
    return pending.isEmpty();
}

void RosterRelease::SetSliceBudget(qint64 nsec)
{
    sliceBudget = nsec;
}

void RosterRelease::SetClock(Clock newClock)
{
    clock = std::move(newClock);
}

// Lists are taken apart from their ends, so nothing moves and each step frees one member. Only a
// list that no one else holds is taken apart (touching a shared one would copy it); a shared one
// is let go whole, which frees nothing.
void RosterRelease::FreeOnePiece()
{
    Teams& teams = pending.last();
    if (teams.isEmpty() || !teams.isDetached()) {
        pending.removeLast();
        return;
    }
    QList<RosterManager::ROSTER_ITEM>& members = teams.last().contacts;
    if (members.isEmpty() || !members.isDetached()) {
        teams.removeLast();
        return;
    }
    members.removeLast();
}
