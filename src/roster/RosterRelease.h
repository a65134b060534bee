#pragma once

#include "RosterManager.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

// Frees rosters that are no longer wanted a few members at a time, from the event loop of the
// thread that owns it. A roster of thousands of members holds tens of thousands of blocks
// (names, memos, addresses, pictures) scattered over memory: freeing them at once held the GUI
// thread for 30 to 250 ms, most of it waiting for memory. Pictures may be freed only on the GUI
// thread, so the work stays there, cut into slices that each end after a short budget.
//
// What is taken is no longer reachable by anyone else, so when it is freed changes nothing that
// is shown or stored; a list still shared with a reader is only let go (a count goes down).
class RosterRelease : public QObject
{
    Q_OBJECT
public:
    using Teams = QList<RosterManager::ROSTER_GROUP_ITEM>;
    using Clock = std::function<qint64()>; // nanoseconds, counting up

    explicit RosterRelease(QObject* parent = nullptr);
    // Frees what is left at once: the owner goes, and with it the thread's event loop may.
    ~RosterRelease() override;

    // Takes `teams` (left empty) and frees them in later turns of the event loop.
    void Release(Teams&& teams);

    // Frees members until the slice's budget is spent or nothing is left; answers whether
    // something is left. The event loop calls it; tests call it to step.
    bool FreeSlice();
    bool IsIdle() const;
    // How long one slice may take (2 ms by default), and the clock that tells.
    void SetSliceBudget(qint64 nsec);
    void SetClock(Clock clock);

private:
    // Frees the last member of the last list, or a whole list when it is shared or empty.
    void FreeOnePiece();

    QList<Teams> pending;
    QTimer nextSlice;
    qint64 sliceBudget = 2'000'000;
    Clock clock;
};
