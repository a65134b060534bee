#include "ListWidgetManager.h"
#include "RosterFixtures.h"
#include "RosterMerge.h"
#include "RosterRowIndex.h"

#include <QListWidget>
#include <QtTest>

using Groups = QList<RosterManager::ROSTER_GROUP_ITEM>;
using Changes = RosterMerge::Changes;
using Step = RosterMerge::ScreenshotStep;
constexpr auto STATUS_DND = RosterManager::STATUS_DND;
constexpr auto STATUS_OFFLINE = RosterManager::STATUS_OFFLINE;

Q_DECLARE_METATYPE(RosterMerge::Plan)
Q_DECLARE_METATYPE(RosterMerge::ScreenshotStep)

namespace {

RosterManager::ROSTER_ITEM With(RosterManager::ROSTER_ITEM member,
    const std::function<void(RosterManager::ROSTER_ITEM&)>& change)
{
    change(member);
    return member;
}

} // namespace

// The rules of a refresh, and the row index it looks members up in.
class TestRosterMerge : public QObject
{
    Q_OBJECT
private slots:
    void plan_data()
    {
        QTest::addColumn<Groups>("received");
        QTest::addColumn<RosterMerge::Plan>("plan");
        const auto patch = RosterMerge::Plan::PatchRows;
        const auto full = RosterMerge::Plan::FullReload;
        // Shown: team 1 with 10 and 11, team 2 with 20.
        QTest::newRow("same members, other details")
            << Groups { Team(1, { Member(1, 10, STATUS_DND), Member(1, 11) }),
                   Team(2, { Member(2, 20, STATUS_OFFLINE) }, 0) }
            << patch;
        QTest::newRow("a team more") << Groups { Team(1, { Member(1, 10), Member(1, 11) }),
            Team(2, { Member(2, 20) }), Team(3, {}) }
                                     << full;
        QTest::newRow("a team less")
            << Groups { Team(1, { Member(1, 10), Member(1, 11) }) } << full;
        QTest::newRow("teams swapped")
            << Groups { Team(2, { Member(2, 20) }), Team(1, { Member(1, 10), Member(1, 11) }) }
            << full;
        QTest::newRow("a team replaced, same size")
            << Groups { Team(1, { Member(1, 10), Member(1, 11) }), Team(3, { Member(3, 20) }) }
            << full;
        QTest::newRow("a member joins") << Groups {
            Team(1, { Member(1, 10), Member(1, 11), Member(1, 12) }), Team(2, { Member(2, 20) })
        } << full;
        QTest::newRow("one leaves, one joins")
            << Groups { Team(1, { Member(1, 10), Member(1, 12) }), Team(2, { Member(2, 20) }) }
            << full;
        QTest::newRow("members swapped") << Groups { Team(1, { Member(1, 11), Member(1, 10) }),
            Team(2, { Member(2, 20) }) } << full;
    }

    void plan()
    {
        QFETCH(Groups, received);
        QFETCH(RosterMerge::Plan, plan);
        const Groups shown { Team(1, { Member(1, 10), Member(1, 11) }),
            Team(2, { Member(2, 20) }) };
        QCOMPARE(RosterMerge::PlanFor(shown, received), plan);
        QCOMPARE(RosterMerge::PlanFor({}, {}), RosterMerge::Plan::PatchRows);
    }

    void compare_data()
    {
        QTest::addColumn<RosterManager::ROSTER_ITEM>("shown");
        QTest::addColumn<RosterManager::ROSTER_ITEM>("received");
        QTest::addColumn<bool>("hasRow");
        QTest::addColumn<int>("changes");
        const auto member = Member(1, 10);
        const auto working = With(member, [](auto& m) {
            m.isWorking = true;
            m.screenshot = Picture(32, 20, Qt::blue);
        });
        QTest::newRow("nothing") << member << member << true << int(RosterMerge::NoChange);
        QTest::newRow("memo") << member << With(member, [](auto& m) { m.memo = "Release"; }) << true
                              << int(RosterMerge::MemoChanged);
        QTest::newRow("memo, no row") << member << With(member, [](auto& m) { m.memo = "Release"; })
                                      << false << int(RosterMerge::MemoChanged);
        QTest::newRow("worked time")
            << member << With(member, [](auto& m) { m.workedTime = "01:00:00"; }) << true
            << int(RosterMerge::WorkedTimeChanged);
        QTest::newRow("starts working")
            << member << working << true
            << int(RosterMerge::WorkingChanged | RosterMerge::ScreenshotArrived);
        QTest::newRow("starts working, no row")
            << member << working << false << int(RosterMerge::WorkingChanged);
        QTest::newRow("has a screenshot already")
            << working << With(working, [](auto& m) { m.screenshot = Picture(8, 8, Qt::red); })
            << true << int(RosterMerge::NoChange);
        QTest::newRow("picture of no width")
            << member << With(member, [](auto& m) { m.screenshot = QPixmap(0, 5); }) << true
            << int(RosterMerge::NoChange);
        QTest::newRow("online to dnd")
            << member << Member(1, 10, STATUS_DND) << true << int(RosterMerge::StatusChanged);
        QTest::newRow("goes offline")
            << member << Member(1, 10, STATUS_OFFLINE) << false
            << int(RosterMerge::StatusChanged | RosterMerge::CrossedOffline);
        QTest::newRow("comes back")
            << Member(1, 10, STATUS_OFFLINE) << Member(1, 10, STATUS_DND) << false
            << int(RosterMerge::StatusChanged | RosterMerge::CrossedOffline);
    }

    void compare()
    {
        QFETCH(RosterManager::ROSTER_ITEM, shown);
        QFETCH(RosterManager::ROSTER_ITEM, received);
        QFETCH(bool, hasRow);
        QFETCH(int, changes);
        QCOMPARE(int(RosterMerge::Compare(shown, received, hasRow)), changes);
    }

    void screenshotPass_data()
    {
        QTest::addColumn<RosterManager::ROSTER_ITEM>("shown");
        QTest::addColumn<RosterManager::ROSTER_ITEM>("received");
        QTest::addColumn<RosterMerge::ScreenshotStep>("step");
        const QPixmap picture = Picture(32, 20, Qt::blue);
        const auto none = Member(1, 10);
        const auto withPicture = With(none, [&](auto& m) {
            m.screenshot = picture;
            m.screenshotUrl = "https://service/pictures/snapshot/10.png";
        });
        const auto listedNoPicture = With(
            none, [](auto& m) { m.screenshotUrl = "https://service/pictures/snapshot/10.png"; });
        QTest::newRow("first picture") << none << withPicture << Step::Take;
        QTest::newRow("the same picture again") << withPicture << withPicture << Step::Keep;
        QTest::newRow("a new picture") << withPicture << With(withPicture, [](auto& m) {
            m.screenshot = Picture(32, 20, Qt::blue);
        }) << Step::Take;
        QTest::newRow("download failed") << withPicture << listedNoPicture << Step::Keep;
        QTest::newRow("not listed any more") << withPicture << none << Step::StoppedWorking;
        QTest::newRow("never had one") << none << none << Step::Keep;
        QTest::newRow("picture of no width")
            << none << With(none, [](auto& m) { m.screenshot = QPixmap(0, 5); }) << Step::Keep;
    }

    void screenshotPass()
    {
        QFETCH(RosterManager::ROSTER_ITEM, shown);
        QFETCH(RosterManager::ROSTER_ITEM, received);
        QFETCH(RosterMerge::ScreenshotStep, step);
        QCOMPARE(RosterMerge::ScreenshotPass(shown, received), step);
    }

    // The index finds the row the list walk finds, for every pair drawn and for pairs not drawn:
    // grouped (team rows, a member in two teams) and not (a member's later rows removed).
    void rowIndexFindsTheRowsTheListWalkFinds_data()
    {
        QTest::addColumn<bool>("grouped");
        QTest::newRow("grouped") << true;
        QTest::newRow("not grouped") << false;
    }

    void rowIndexFindsTheRowsTheListWalkFinds()
    {
        QFETCH(bool, grouped);
        const Groups teams { Team(1, { Member(1, 10), Member(1, 11) }),
            Team(2, { Member(2, 11), Member(2, 20, STATUS_OFFLINE), Member(2, 21) }),
            Team(3, {}, 0) };
        QListWidget list;
        ListWidgetManager manager;
        manager.DrawRosterToListWidget(&list, teams, grouped, false);
        if (!grouped)
            ListWidgetManager::RemoveDoubleEntry(&list);

        const RosterRowIndex index(&list);
        for (const int team : { 1, 2, 3, 4 }) {
            for (const int member : { -1, 10, 11, 20, 21, 99 }) {
                QCOMPARE(index.Row(team, member),
                    ListWidgetManager::GetListWidgetItemIndexByGroupIDAndContactID(
                        &list, team, member));
            }
        }
        QCOMPARE(index.Row(2, 11), grouped ? 4 : -1);
        QCOMPARE(RosterRowIndex(nullptr).Row(1, 10), -1);
    }
};

QTEST_MAIN(TestRosterMerge)
#include "tst_rostermerge.moc"
