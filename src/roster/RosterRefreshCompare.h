#pragma once

#include "RosterManager.h"
#include "RosterMerge.h"
#include "RosterRelease.h"

#include <QList>
#include <QVector>

#include <optional>

// Compares a refresh's roster with the one shown team by team, as each team's members arrive,
// so that the complete roster needs no pass over every member: comparing thousands of members
// at once held the window for 10 to 30 ms. It answers what RosterMerge::PlanFor and
// RosterMerge::Compare over the complete roster would, or nothing when it cannot vouch for that
// (the shown roster changed meanwhile, a team's members were not seen, or are not the ones
// received); the caller then compares the whole roster.
class RosterRefreshCompare
{
public:
    using GroupList = RosterMerge::GroupList;
    using Team = RosterManager::ROSTER_GROUP_ITEM;
    using Position = RosterMerge::Position;

    struct Outcome
    {
        RosterMerge::Plan plan = RosterMerge::Plan::FullReload;
        // In roster order, the received members whose record differs from the one shown
        // (RosterMerge::Compare, as for a member with a row): with PatchRows, the only members
        // a patch has to look at.
        QVector<Position> changed;
    };

    // A new pass starts: what was seen of the last one is forgotten.
    void Start(const RosterManager& shown);
    // The members of the received team at `position` have arrived.
    void AddTeam(int position, const Team& team, const RosterManager& shown);
    // The pass is complete: the outcome, or nothing when the whole roster must be compared.
    // What was seen is forgotten.
    std::optional<Outcome> Finish(const GroupList& received, const RosterManager& shown);

private:
    enum class Seen : char
    {
        No,
        Elsewhere, // not the team shown at its position (RosterMerge::SameTeam)
        SamePlace
    };

    void Forget();

    bool started = false;
    quint64 revision = 0;
    // By position, the teams seen: their ids, names and members as received, held so that the
    // teams compared are known to be the ones of the complete roster.
    GroupList teams;
    QVector<Seen> seen;
    QVector<Position> changed;
    // The members held of a pass that was dropped may be the last copy: freed a few at a time.
    RosterRelease release;
};
