#include "RosterFixtures.h"
#include "RosterRefreshCompare.h"

#include <QtTest>

using Groups = QList<RosterManager::ROSTER_GROUP_ITEM>;
using Positions = QVector<RosterRefreshCompare::Position>;

Q_DECLARE_METATYPE(RosterMerge::Plan)

namespace {

// Shown: team 1 with 10 and 11, team 2 with 20 and 11 (a member of both), team 3 with 30.
Groups Shown()
{
    return { Team(1, { Member(1, 10), Member(1, 11) }), Team(2, { Member(2, 20), Member(2, 11) }),
        Team(3, { Member(3, 30) }) };
}

// The same roster, as a refresh receives it, with `change` made to it.
Groups Received(const std::function<void(Groups&)>& change)
{
    Groups received = Shown();
    change(received);
    return received;
}

void SetMemo(Groups& teams, int team, int member, const QString& memo)
{
    teams[team].contacts[member].memo = memo;
}

// What the refresh found before members were compared as they arrived: the plan over the
// complete roster and every received member whose record differs from the model's.
RosterRefreshCompare::Outcome Whole(const Groups& received, const RosterManager& model)
{
    RosterRefreshCompare::Outcome whole;
    whole.plan = RosterMerge::PlanFor(model.GetRosterList(), received);
    for (int team = 0; team < received.size(); ++team) {
        for (int member = 0; member < received.at(team).contacts.size(); ++member) {
            const auto& update = received.at(team).contacts.at(member);
            const auto* shown = model.FindRosterItem(update.groupID, update.contactID);
            if (shown && RosterMerge::Compare(*shown, update, true) != RosterMerge::NoChange)
                whole.changed.append({ team, member });
        }
    }
    return whole;
}

} // namespace

class TestRosterRefreshCompare : public QObject
{
    Q_OBJECT
private slots:
    // Team by team, the compare answers what comparing the complete roster answers.
    void answersAsTheWholeCompare_data()
    {
        QTest::addColumn<Groups>("received");
        QTest::addColumn<RosterMerge::Plan>("plan");
        QTest::addColumn<int>("changed");
        const auto patch = RosterMerge::Plan::PatchRows;
        const auto full = RosterMerge::Plan::FullReload;
        QTest::newRow("nothing changed") << Shown() << patch << 0;
        QTest::newRow("a memo in the last team")
            << Received([](Groups& g) { SetMemo(g, 2, 0, "Release"); }) << patch << 1;
        QTest::newRow("changes in two teams, out of order") << Received([](Groups& g) {
            g[1].contacts[0].status = RosterManager::STATUS_DND;
            g[0].contacts[1].workedTime = "01:00:00";
        }) << patch << 2;
        QTest::newRow("a member of two teams changes in one")
            << Received([](Groups& g) { SetMemo(g, 1, 1, "Release"); }) << patch << 1;
        QTest::newRow("a member joins the middle team")
            << Received([](Groups& g) { g[1].contacts.append(Member(2, 21)); }) << full << 0;
        QTest::newRow("members swapped") << Received([](Groups& g) {
            g[0].contacts.swapItemsAt(0, 1);
            SetMemo(g, 0, 0, "Release");
        }) << full << 1;
        QTest::newRow("teams swapped")
            << Received([](Groups& g) { g.swapItemsAt(0, 2); }) << full << 0;
        QTest::newRow("a team more")
            << Received([](Groups& g) { g.append(Team(4, { Member(4, 40) })); }) << full << 0;
        QTest::newRow("a team less") << Received([](Groups& g) { g.removeLast(); }) << full << 0;
        QTest::newRow("a team renamed") << Received([](Groups& g) {
            g[1].name = "Renamed";
            SetMemo(g, 0, 0, "Release");
        }) << full << 1;
    }

    void answersAsTheWholeCompare()
    {
        QFETCH(Groups, received);
        QFETCH(RosterMerge::Plan, plan);
        QFETCH(int, changed);
        RosterManager model;
        model.SetRosterList(Shown(), false);
        RosterRefreshCompare compare;

        // The last pass's leftovers are forgotten as a pass starts.
        compare.Start(model);
        compare.AddTeam(0, Team(9, { Member(9, 90) }), model);
        compare.Start(model);
        for (int team = 0; team < received.size(); ++team)
            compare.AddTeam(team, received.at(team), model);
        const auto outcome = compare.Finish(received, model);

        QVERIFY(outcome);
        const RosterRefreshCompare::Outcome whole = Whole(received, model);
        QCOMPARE(outcome->plan, whole.plan);
        QCOMPARE(outcome->changed, whole.changed);
        QCOMPARE(outcome->plan, plan);
        QCOMPARE(outcome->changed.size(), changed);
        // A pass is answered once.
        QVERIFY(!compare.Finish(received, model));
    }

    // Whenever what was compared may not be what the complete roster holds, the compare gives
    // no answer and the roster is compared whole.
    void givesNoAnswerItCannotVouchFor_data()
    {
        QTest::addColumn<QString>("during");
        QTest::newRow("a member of the model changes") << "member";
        QTest::newRow("the model is replaced") << "model";
        QTest::newRow("a team is folded") << "fold";
        QTest::newRow("a team's members are not seen") << "unseen";
        QTest::newRow("a team's members are replaced once seen") << "replaced";
        QTest::newRow("a team is seen at another position") << "elsewhere";
        QTest::newRow("the pass was not started") << "unstarted";
    }

    void givesNoAnswerItCannotVouchFor()
    {
        QFETCH(QString, during);
        RosterManager model;
        model.SetRosterList(Shown(), false);
        Groups received = Received([](Groups& g) { SetMemo(g, 2, 0, "Release"); });
        RosterRefreshCompare compare;
        if (during != "unstarted")
            compare.Start(model);

        for (int team = 0; team < received.size(); ++team) {
            if (team == 1 && during == "unseen")
                continue;
            compare.AddTeam(
                during == "elsewhere" && team == 1 ? 2 : team, received.at(team), model);
            if (team != 1)
                continue;
            if (during == "member") {
                auto member = model.GetRosterItemByIndexes(3, 30);
                member.memo = "Release";
                model.SetRosterItemByIndexrs(3, 30, member);
            } else if (during == "model") {
                model.SetRosterList(Shown(), true);
            } else if (during == "fold") {
                auto team3 = model.GetGroupRosterByID(3);
                team3.isExpanded = 0;
                model.SetListItemByIndex(2, team3);
            } else if (during == "replaced") {
                received[0].contacts = QList<RosterManager::ROSTER_ITEM>(received[0].contacts);
                received[0].contacts.detach();
            }
        }
        QVERIFY(!compare.Finish(received, model));
    }
};

QTEST_MAIN(TestRosterRefreshCompare)
#include "tst_rosterrefreshcompare.moc"
