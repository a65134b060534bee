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

// A change made to the shown roster to give an answer.
using Edit = std::function<void(Groups&)>;

Q_DECLARE_METATYPE(RosterMerge::Plan)
Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(RosterMerge::ScreenshotStep)

namespace {

RosterManager::ROSTER_ITEM With(RosterManager::ROSTER_ITEM member,
    const std::function<void(RosterManager::ROSTER_ITEM&)>& change)
{
    change(member);
    return member;
}

// The roster shown in the decisions below: team 1 with 10 (an avatar) and 11 (working, with an
// avatar and a screenshot), team 2 with 20, offline and so without a row.
Groups Shown()
{
    const auto ten = With(Member(1, 10), [](auto& m) {
        m.avatar = Picture(16, 16, Qt::green);
        m.avatarUrl = "https://service/pictures/avatar/10.png";
    });
    const auto eleven = With(ten, [](auto& m) {
        m.contactID = 11;
        m.isWorking = true;
        m.screenshot = Picture(32, 20, Qt::blue);
        m.screenshotUrl = "https://service/pictures/snapshot/11.png";
    });
    return { Team(1, { ten, eleven }), Team(2, { Member(2, 20, STATUS_OFFLINE) }) };
}

const QList<QPair<int, int>> shownRows { { 1, -1 }, { 1, 10 }, { 1, 11 }, { 2, -1 } };

int RowOf(int groupID, int contactID)
{
    return shownRows.indexOf({ groupID, contactID });
}

// What the merge decides for an answer of this pass (the shown roster, its pictures included,
// with `change` made to it): one line per member it touches.
QStringList Decided(const QString& pass, const Edit& change)
{
    // Made once: the answer holds the very pictures shown, as the REST client hands them back.
    const Groups before = Shown();
    Groups answer = before;
    change(answer);
    RosterManager shown;
    shown.SetRosterList(before, false);
    QStringList decided;
    const auto at = [](const RosterManager::ROSTER_ITEM* member, int row) {
        return QStringLiteral("%1 row %2:").arg(member->contactID).arg(row);
    };
    if (pass == "roster"
        && RosterMerge::PlanFor(shown.GetRosterList(), answer) == RosterMerge::Plan::FullReload) {
        // A full reload's answer comes without pictures; what the members keep is listed.
        for (auto& team : answer) {
            for (auto& member : team.contacts)
                member.avatar = member.screenshot = QPixmap();
        }
        decided << "reload";
        for (const auto& team : RosterMerge::WithPicturesKept(answer, shown.GetRosterList())) {
            for (const auto& member : team.contacts) {
                if (!member.avatar.isNull())
                    decided << QStringLiteral("%1 keeps avatar").arg(member.contactID);
                if (!member.screenshot.isNull())
                    decided << QStringLiteral("%1 keeps screenshot").arg(member.contactID);
            }
        }
    } else if (pass == "roster") {
        const char* const names[]
            = { "working", "memo", "time", "screenshot", "status", "offline" };
        RosterMerge::ForEachPatch(answer, nullptr, shown, RowOf, [&](const auto& patch) {
            QStringList line { at(patch.received, patch.row) };
            for (int bit = 0; bit < 6; ++bit) {
                if (patch.changes & RosterMerge::Change(1 << bit))
                    line << names[bit];
            }
            decided << line.join(' ');
        });
    } else if (pass == "screenshots") {
        RosterMerge::ForEachScreenshotPatch(answer, shown, RowOf, [&](const auto& patch) {
            decided << at(patch.received, patch.row)
                    + (patch.step == Step::Take ? " take" : " stopped working");
        });
    } else {
        RosterManager listed;
        listed.SetRosterList(answer, false);
        for (int row = 0; row < shownRows.size(); ++row) {
            const QPair<int, int> ids = shownRows.at(row);
            const QPixmap* avatar = RosterMerge::AvatarFor(listed, ids.first, ids.second);
            if (ids.second != -1 && avatar)
                decided << at(shown.FindRosterItem(ids.first, ids.second), row)
                        + QStringLiteral(" avatar %1").arg(avatar->width());
        }
    }
    return decided;
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

    // What the merge decides for each kind of answer: a roster answer reloads or patches the
    // members that changed (with a row, or only in the model), the screenshot pass patches member
    // rows, the avatar pass gives member rows the avatars that arrived.
    void decisions_data()
    {
        QTest::addColumn<QString>("pass");
        QTest::addColumn<Edit>("change");
        QTest::addColumn<QStringList>("decided");
        const auto add
            = [](const char* name, const char* pass, Edit change, const QStringList& decided) {
                  QTest::newRow(name) << QString(pass) << change << decided;
              };
        const auto picture = [](auto& m) {
            m.isWorking = true;
            m.screenshot = Picture(40, 30, Qt::red);
        };
        add("same roster", "roster", [](Groups&) {}, {});
        add("a memo", "roster", [](Groups& t) { t[0].contacts[0].memo = "Release"; },
            { "10 row 1: memo" });
        add("a status", "roster", [](Groups& t) { t[0].contacts[0].status = STATUS_DND; },
            { "10 row 1: status" });
        add("starts working with a screenshot", "roster",
            [picture](Groups& t) { picture(t[0].contacts[0]); },
            { "10 row 1: working screenshot" });
        // Without a row only the model takes the change, and no screenshot.
        add("a member without a row", "roster", [picture](Groups& t) { picture(t[1].contacts[0]); },
            { "20 row -1: working" });
        add("two teams, in roster order", "roster",
            [](Groups& t) {
                t[1].contacts[0].status = RosterManager::STATUS_ONLINE;
                t[0].contacts[1].workedTime = "01:00:00";
            },
            { "11 row 2: time", "20 row -1: status offline" });
        const QStringList kept { "reload", "10 keeps avatar", "11 keeps avatar",
            "11 keeps screenshot" };
        // The same teams and members: a patch writes members only, so a new name reloads, or the
        // team's row and the team selector would keep the old one.
        add(
            "a team renamed", "roster", [](Groups& t) { t[1].name = "Renamed"; }, kept);
        add(
            "a member joins", "roster", [](Groups& t) { t[0].contacts.append(Member(1, 12)); },
            kept);
        // Listed without a screenshot: it no longer works.
        add("a member leaves", "roster",
            [](Groups& t) {
                t[1].contacts.clear();
                t[0].contacts[1].screenshotUrl.clear();
            },
            { "reload", "10 keeps avatar", "11 keeps avatar" });
        add(
            "a team added", "roster", [](Groups& t) { t.append(Team(3, {})); }, kept);
        add(
            "a team removed", "roster", [](Groups& t) { t.removeLast(); }, kept);

        add("same screenshots", "screenshots", [](Groups&) {}, {});
        add("a first screenshot", "screenshots",
            [picture](Groups& t) { picture(t[0].contacts[0]); }, { "10 row 1: take" });
        add("a screenshot no longer listed", "screenshots",
            [](Groups& t) {
                t[0].contacts[1].screenshot = QPixmap();
                t[0].contacts[1].screenshotUrl.clear();
            },
            { "11 row 2: stopped working" });
        add("a screenshot for a member without a row", "screenshots",
            [picture](Groups& t) { picture(t[1].contacts[0]); }, {});

        add("an avatar arrives", "avatars",
            [](Groups& t) { t[0].contacts[0].avatar = Picture(8, 8, Qt::red); },
            { "10 row 1: avatar 8", "11 row 2: avatar 16" });
        add("an avatar that did not arrive", "avatars",
            [](Groups& t) { t[0].contacts[0].avatar = QPixmap(); }, { "11 row 2: avatar 16" });
        add("a member listed without an avatar", "avatars",
            [](Groups& t) {
                t[0].contacts[0].avatar = QPixmap();
                t[0].contacts[0].avatarUrl.clear();
            },
            { "10 row 1: avatar 0", "11 row 2: avatar 16" });
        add("a member not listed", "avatars", [](Groups& t) { t[0].contacts.removeFirst(); },
            { "11 row 2: avatar 16" });
    }

    void decisions()
    {
        QFETCH(QString, pass);
        QFETCH(Edit, change);
        QFETCH(QStringList, decided);
        QCOMPARE(Decided(pass, change), decided);
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
