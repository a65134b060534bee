#include "ListWidgetManager.h"
#include "RosterFixtures.h"
#include "RosterManager.h"

#include <QListWidget>
#include <QtTest>

using Groups = QList<RosterManager::ROSTER_GROUP_ITEM>;

class TestRosterManager : public QObject
{
    Q_OBJECT

private slots:
    void isNeedFullRedraw_data();
    void isNeedFullRedraw();
    void setRosterListKeepsExpandedStateByTeamId();
    void setRosterListWithoutKeepTakesNewState();
    void lookupsThatMissReturnNotFound();
    void setRosterItemOverwritesTheFirstTeamHoldingTheMember();
    void copyScreenshotsFillsOnlyEmptyScreenshots();
    void copyAvatarsTakesRowAvatarsBack();
    void setListItemByIndexIgnoresInvalidPositions();
};

void TestRosterManager::isNeedFullRedraw_data()
{
    QTest::addColumn<Groups>("model");
    QTest::addColumn<Groups>("incoming");
    QTest::addColumn<bool>("partialSuffices");

    const Groups model { Team(1, { Member(1, 10), Member(1, 11) }), Team(2, { Member(2, 20) }) };
    QTest::newRow("same counts") << model << model << true;
    QTest::newRow("same counts, teams reordered")
        << model << Groups { Team(2, { Member(2, 21) }), Team(1, { Member(1, 12), Member(1, 13) }) }
        << true;
    QTest::newRow("a team more") << model << (Groups(model) << Team(3, {})) << false;
    QTest::newRow("a team less") << model << Groups { model.first() } << false;
    QTest::newRow("a member more")
        << model << Groups { model.first(), Team(2, { Member(2, 20), Member(2, 22) }) } << false;
    QTest::newRow("a team replaced by an unknown one")
        << model << Groups { model.first(), Team(9, { Member(9, 20) }) } << false;
    QTest::newRow("both empty") << Groups() << Groups() << true;
}

void TestRosterManager::isNeedFullRedraw()
{
    QFETCH(Groups, model);
    QFETCH(Groups, incoming);
    QFETCH(bool, partialSuffices);

    RosterManager roster;
    roster.SetRosterList(model, false);
    QCOMPARE(roster.IsNeedFullRedraw(incoming), partialSuffices);
}

void TestRosterManager::setRosterListKeepsExpandedStateByTeamId()
{
    RosterManager roster;
    roster.SetRosterList({ Team(1, {}, 0), Team(2, {}, 1) }, false);

    roster.SetRosterList({ Team(2, {}, 0), Team(3, {}, 0), Team(1, { Member(1, 10) }, 1) }, true);

    const Groups groups = roster.GetRosterList();
    QCOMPARE(groups.size(), 3);
    QCOMPARE(groups.at(0).groupID, 2);
    QCOMPARE(groups.at(0).isExpanded, 1); // kept from before
    QCOMPARE(groups.at(1).isExpanded, 0); // new team: as delivered
    QCOMPARE(groups.at(2).isExpanded, 0); // kept from before
    QCOMPARE(groups.at(2).contacts.size(), 1); // everything else is the new list's
}

void TestRosterManager::setRosterListWithoutKeepTakesNewState()
{
    RosterManager roster;
    roster.SetRosterList({ Team(1, {}, 0) }, false);
    roster.SetRosterList({ Team(1, {}, 1) }, false);
    QCOMPARE(roster.GetRosterList().first().isExpanded, 1);

    roster.ClearRoster();
    QVERIFY(roster.GetRosterList().isEmpty());
}

void TestRosterManager::lookupsThatMissReturnNotFound()
{
    RosterManager roster;
    auto anna = Member(1, 10);
    anna.userName = QStringLiteral("Anna.K");
    auto team = Team(1, { anna });
    team.name = QStringLiteral("Alpha");
    roster.SetRosterList({ team }, false);

    QCOMPARE(roster.GetRosterItemByIndexes(1, 10).userName, anna.userName);
    for (const auto& missing :
        { roster.GetRosterItemByIndexes(2, 10), roster.GetRosterItemByIndexes(1, 99),
            roster.GetRosterItemByUserName(QStringLiteral("nobody")),
            roster.GetRosterItemByUserName(QString()) }) {
        QCOMPARE(missing.contactID, -1);
        QCOMPARE(missing.groupID, -1);
    }
    // Chat servers may deliver the user part in another case than the roster.
    QCOMPARE(roster.GetRosterItemByUserName(QStringLiteral("anna.k")).contactID, 10);

    QCOMPARE(roster.GetGroupRosterByID(7).groupID, -1);
    QVERIFY(roster.GetGroupRosterByID(7).contacts.isEmpty());
    QCOMPARE(roster.GetGroupIndexByID(7), -1);
    QCOMPARE(roster.GetGroupIndexByID(1), 0);

    QCOMPARE(roster.GetCompanyIDbyShortName(QStringLiteral("Alpha")), 1);
    QCOMPARE(roster.GetCompanyIDbyShortName(QStringLiteral("alpha")), -1);
    QCOMPARE(roster.GetCompanyIDbyShortName(QStringLiteral("Alpha ")), -1);
    QCOMPARE(roster.GetCompanyIDbyShortName(QString()), -1);
}

void TestRosterManager::setRosterItemOverwritesTheFirstTeamHoldingTheMember()
{
    RosterManager roster;
    // Two records of team 1: the member is only in the second one.
    roster.SetRosterList(
        { Team(1, { Member(1, 10) }), Team(1, { Member(1, 11) }), Team(2, { Member(2, 11) }) },
        false);

    auto changed = Member(1, 11, RosterManager::STATUS_DND);
    changed.memo = QStringLiteral("Reviewing");
    changed.isWorking = true;
    roster.SetRosterItemByIndexrs(1, 11, changed);
    roster.SetRosterItemByIndexrs(1, 99, changed); // no such member: nothing changes

    const Groups groups = roster.GetRosterList();
    QCOMPARE(groups.at(0).contacts.size(), 1);
    QCOMPARE(groups.at(0).contacts.at(0).contactID, 10);
    QCOMPARE(groups.at(1).contacts.at(0).memo, changed.memo);
    QCOMPARE(groups.at(1).contacts.at(0).status, RosterManager::STATUS_DND);
    QVERIFY(groups.at(1).contacts.at(0).isWorking);
    QVERIFY(groups.at(2).contacts.at(0).memo.isEmpty()); // same member, other team
}

void TestRosterManager::copyScreenshotsFillsOnlyEmptyScreenshots()
{
    RosterManager roster;
    auto hasShot = Member(1, 11);
    hasShot.screenshot = Picture(8, 8, Qt::red);
    roster.SetRosterList({ Team(1, { Member(1, 10), hasShot, Member(1, 12) }) }, false);

    auto gets = Member(1, 10);
    gets.screenshot = Picture(8, 8, Qt::blue);
    auto keeps = Member(1, 11);
    keeps.screenshot = Picture(8, 8, Qt::green);
    auto unknown = Member(1, 13);
    unknown.screenshot = Picture(8, 8, Qt::blue);
    roster.CopyScreenshotsFromRosterList({ Team(1, { gets, keeps, Member(1, 12), unknown }) });

    const auto contacts = roster.GetRosterList().first().contacts;
    QCOMPARE(contacts.size(), 3);
    QCOMPARE(contacts.at(0).screenshot.toImage().pixelColor(0, 0), QColor(Qt::blue));
    QVERIFY(contacts.at(0).isWorking);
    QCOMPARE(contacts.at(1).screenshot.toImage().pixelColor(0, 0), QColor(Qt::red));
    QVERIFY(!contacts.at(1).isWorking);
    QVERIFY(contacts.at(2).screenshot.isNull());
    QVERIFY(!contacts.at(2).isWorking);
}

void TestRosterManager::copyAvatarsTakesRowAvatarsBack()
{
    RosterManager roster;
    roster.SetRosterList(
        { Team(1, { Member(1, 10), Member(1, 11) }), Team(2, { Member(2, 10) }) }, false);
    QListWidget list;
    ListWidgetManager manager;
    manager.DrawRosterToListWidget(&list, roster.GetRosterList(), true, true);
    const int row = ListWidgetManager::GetListWidgetItemIndexByGroupIDAndContactID(&list, 2, 10);
    manager.UpdateItemByIndex(
        &list, row, ListWidgetManager::ROLE_AVATAR, Picture(4, 4, Qt::yellow));

    roster.CopyAvatarsFromListWidget(&list);
    roster.CopyAvatarsFromListWidget(nullptr);

    QCOMPARE(
        roster.GetRosterItemByIndexes(2, 10).avatar.toImage().pixelColor(0, 0), QColor(Qt::yellow));
    QVERIFY(roster.GetRosterItemByIndexes(1, 10).avatar.isNull());
}

void TestRosterManager::setListItemByIndexIgnoresInvalidPositions()
{
    RosterManager roster;
    roster.SetRosterList({ Team(1, {}) }, false);
    auto renamed = Team(1, {});
    renamed.name = QStringLiteral("Renamed");

    QTest::ignoreMessage(QtWarningMsg, "RosterManager: no team at position 1");
    roster.SetListItemByIndex(1, renamed);
    QTest::ignoreMessage(QtWarningMsg, "RosterManager: no team at position -1");
    roster.SetListItemByIndex(-1, renamed);
    QCOMPARE(roster.GetRosterList().size(), 1);

    roster.SetListItemByIndex(0, renamed);
    QCOMPARE(roster.GetRosterList().first().name, renamed.name);

    // A team written back under another id is found by that id only.
    roster.SetListItemByIndex(0, Team(5, { Member(5, 50) }));
    QCOMPARE(roster.GetGroupIndexByID(5), 0);
    QCOMPARE(roster.GetGroupIndexByID(1), -1);
    QCOMPARE(roster.GetRosterItemByIndexes(5, 50).contactID, 50);
    roster.ClearRoster();
    QCOMPARE(roster.GetGroupIndexByID(5), -1);
}

QTEST_MAIN(TestRosterManager)
#include "tst_rostermanager.moc"
