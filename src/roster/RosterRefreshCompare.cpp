#include "RosterRefreshCompare.h"

#include <algorithm>
#include <utility>

void RosterRefreshCompare::Start(const RosterManager& shown)
{
    Forget();
    started = true;
    revision = shown.Revision();
}

void RosterRefreshCompare::AddTeam(int position, const Team& team, const RosterManager& shown)
{
    if (!started || position < 0)
        return;
    if (shown.Revision() != revision) {
        Forget();
        return;
    }
    if (position >= teams.size()) {
        teams.reserve(position + 1);
        while (teams.size() <= position)
            teams.append(Team());
        seen.resize(position + 1);
    }
    Team& held = teams[position];
    held.groupID = team.groupID;
    held.name = team.name;
    held.contacts = team.contacts;
    const GroupList shownTeams = shown.GetRosterList();
    const bool samePlace
        = position < shownTeams.size() && RosterMerge::SameTeam(shownTeams.at(position), team);
    seen[position] = samePlace ? Seen::SamePlace : Seen::Elsewhere;
    for (int member = 0; member < team.contacts.size(); ++member) {
        const RosterManager::ROSTER_ITEM& update = team.contacts.at(member);
        const RosterManager::ROSTER_ITEM* now
            = shown.FindRosterItem(update.groupID, update.contactID);
        if (now && RosterMerge::Compare(*now, update, true) != RosterMerge::NoChange)
            changed.append({ position, member });
    }
}

std::optional<RosterRefreshCompare::Outcome> RosterRefreshCompare::Finish(
    const GroupList& received, const RosterManager& shown)
{
    bool valid = started && shown.Revision() == revision && teams.size() == received.size();
    bool samePlaces = shown.GetRosterList().size() == received.size();
    for (int position = 0; valid && position < received.size(); ++position) {
        const Team& team = received.at(position);
        const Team& held = teams.at(position);
        valid = seen.at(position) != Seen::No && held.groupID == team.groupID
            && held.name == team.name && held.contacts.isSharedWith(team.contacts);
        samePlaces = samePlaces && seen.at(position) == Seen::SamePlace;
    }
    Outcome outcome;
    outcome.plan = samePlaces ? RosterMerge::Plan::PatchRows : RosterMerge::Plan::FullReload;
    outcome.changed = std::exchange(changed, {});
    std::sort(outcome.changed.begin(), outcome.changed.end());
    Forget();
    if (!valid)
        return std::nullopt;
    return outcome;
}

void RosterRefreshCompare::Forget()
{
    started = false;
    release.Release(std::move(teams));
    teams = GroupList();
    seen.clear();
    changed.clear();
}
