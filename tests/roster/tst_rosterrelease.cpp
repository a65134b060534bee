#include "RosterFixtures.h"
#include "RosterRelease.h"

#include <QtTest>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using Teams = QList<RosterManager::ROSTER_GROUP_ITEM>;

namespace {

// `teams` teams of `members` members, each member with a picture of its own.
Teams Roster(int teams, int members)
{
    Teams roster;
    for (int t = 0; t < teams; ++t) {
        QList<RosterManager::ROSTER_ITEM> contacts;
        for (int m = 0; m < members; ++m) {
            RosterManager::ROSTER_ITEM member = Member(100 + t, 1000 * (t + 1) + m);
            member.memo = QStringLiteral("Memo %1").arg(member.contactID);
            member.avatar = Picture(8, 8, QColor::fromHsv((m * 40) % 360, 200, 200));
            contacts.append(member);
        }
        roster.append(Team(100 + t, contacts));
    }
    return roster;
}

// What a reader sees of a roster: every member's id, memo and picture.
QStringList Seen(const Teams& roster)
{
    QStringList seen;
    for (const auto& team : roster) {
        for (const auto& member : team.contacts)
            seen << QStringLiteral("%1/%2/%3/%4")
                        .arg(team.groupID)
                        .arg(member.contactID)
                        .arg(member.memo)
                        .arg(member.avatar.cacheKey());
    }
    return seen;
}

} // namespace

class TestRosterRelease : public QObject
{
    Q_OBJECT
private slots:
    // A piece is one member, or a team or list let go whole; a slice frees as many as its
    // budget allows, and what someone else still holds is let go untouched, never copied.
    void slicesFreeOnlyWhatNoOneElseHolds_data()
    {
        QTest::addColumn<int>("teams");
        QTest::addColumn<int>("members");
        QTest::addColumn<QString>("held");
        QTest::addColumn<int>("budget");
        QTest::addColumn<int>("slices");
        // 12 members, 3 teams and the list: 16 pieces.
        QTest::newRow("nothing held, a piece a slice") << 3 << 4 << "" << 1 << 16;
        QTest::newRow("nothing held, five a slice") << 3 << 4 << "" << 5 << 4;
        QTest::newRow("nothing held, one slice") << 3 << 4 << "" << 1000 << 1;
        QTest::newRow("a reader holds the roster") << 3 << 4 << "roster" << 1 << 1;
        // The first team goes whole: 2 x 4 members, 3 teams and the list.
        QTest::newRow("a reader holds a team's members") << 3 << 4 << "team" << 1 << 12;
        QTest::newRow("teams without members") << 3 << 0 << "" << 1 << 4;
        QTest::newRow("nothing to free") << 0 << 0 << "" << 1 << 0;
    }

    void slicesFreeOnlyWhatNoOneElseHolds()
    {
        QFETCH(int, teams);
        QFETCH(int, members);
        QFETCH(QString, held);
        QFETCH(int, budget);
        QFETCH(int, slices);

        Teams roster = Roster(teams, members);
        Teams reader;
        QList<RosterManager::ROSTER_ITEM> teamReader;
        if (held == "roster")
            reader = roster;
        if (held == "team")
            teamReader = roster.constFirst().contacts;
        const QStringList seenBefore = Seen(reader);
        const QStringList teamBefore = Seen({ Team(100, teamReader) });
        // The picture of the member freed last, watched from here.
        const QPixmap watched = members > 0 ? roster.constFirst().contacts.constFirst().avatar : QPixmap();

        RosterRelease release;
        qint64 now = 0;
        release.SetClock([&now] { return now++; });
        release.SetSliceBudget(budget);
        release.Release(std::move(roster));
        QVERIFY(roster.isEmpty());
        QCOMPARE(release.IsIdle(), slices == 0);

        int run = 0;
        while (!release.IsIdle()) {
            release.FreeSlice();
            QVERIFY(++run <= slices);
            if (run == 1 && slices > 3)
                QVERIFY2(!watched.isDetached(), "more than a slice's budget freed");
        }
        QCOMPARE(run, slices);
        if (members > 0)
            QCOMPARE(watched.isDetached(), held.isEmpty());
        QCOMPARE(Seen(reader), seenBefore);
        QCOMPARE(Seen({ Team(100, teamReader) }), teamBefore);
    }

    void eventLoopFreesWhatItTakes()
    {
        Teams first = Roster(20, 25);
        Teams second = Roster(2, 3);
        const QPixmap watchedFirst = first.constLast().contacts.constLast().avatar;
        const QPixmap watchedSecond = second.constFirst().contacts.constFirst().avatar;
        RosterRelease release;
        release.SetSliceBudget(1);
        release.Release(std::move(first));
        release.Release(std::move(second));
        QVERIFY(!watchedFirst.isDetached());
        QTRY_VERIFY(release.IsIdle());
        QVERIFY(watchedFirst.isDetached());
        QVERIFY(watchedSecond.isDetached());
    }

    // The C library merges small freed blocks only when a large block is next asked for, all of
    // them at once: each slice leaves none of its blocks for that.
    void aSliceLeavesNoFreedBlockUnmerged()
    {
#if defined(__GLIBC__) && __GLIBC_PREREQ(2, 33)
        RosterRelease release;
        release.SetSliceBudget(50'000);
        release.Release(Roster(40, 25));
        bool more = true;
        while (more) {
            more = release.FreeSlice();
            // A few blocks the event loop's timer leaves, not a slice's thousands.
            const size_t unmerged = mallinfo2().fsmblks;
            QVERIFY2(unmerged < 4096, qPrintable(QString::number(unmerged)));
        }
#else
        QSKIP("the C library's free lists are not known here");
#endif
    }

    void goingAwayFreesTheRestAtOnce()
    {
        Teams roster = Roster(3, 4);
        const QPixmap watched = roster.constFirst().contacts.constFirst().avatar;
        {
            RosterRelease release;
            release.Release(std::move(roster));
            QVERIFY(!watched.isDetached());
        }
        QVERIFY(watched.isDetached());
    }

    // The model shows the new roster at once and frees the one it replaced in later turns.
    void replacedModelRosterIsFreedLater()
    {
        RosterManager model;
        Teams old = Roster(3, 4);
        const QPixmap watched = old.constFirst().contacts.constFirst().avatar;
        model.SetRosterList(old, true);
        old.clear();
        const Teams next = Roster(2, 2);
        model.SetRosterList(next, true);
        QCOMPARE(Seen(model.GetRosterList()), Seen(next));
        QVERIFY(!watched.isDetached());
        QTRY_VERIFY(watched.isDetached());
        QCOMPARE(Seen(model.GetRosterList()), Seen(next));
    }
};

QTEST_MAIN(TestRosterRelease)
#include "tst_rosterrelease.moc"
