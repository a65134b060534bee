#include "tracking/RosterWindow.h"

#include <QComboBox>
#include <QListWidget>
#include <QtTest>

#include <memory>

// One state-check tick of a working day: tracking, a roster of 50 members in three teams, two
// chat windows open, the activity log on and the desktop's own queries. It runs four times a
// second all day. Run it under tests/run-isolated --x11 for the X queries.
class BenchStateChecker : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<RosterWindow> window;
    QList<std::shared_ptr<QWidget>> chats;

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        window = std::make_unique<RosterWindow>();
        auto* combo = window->findChild<QComboBox*>("cmbCurrentCompany");
        auto* list = window->findChild<QListWidget*>("lstRoster");
        QList<RosterManager::ROSTER_GROUP_ITEM> teams;
        for (int t = 0; t < 3; ++t) {
            RosterManager::ROSTER_GROUP_ITEM team;
            team.groupID = 11 + t;
            team.name = QStringLiteral("Team %1").arg(t);
            list->addItem(team.name);
            for (int m = 0; m < (t == 0 ? 18 : 16); ++m) {
                RosterManager::ROSTER_ITEM member;
                member.groupID = team.groupID;
                member.contactID = 1000 + t * 100 + m;
                member.fullName = QStringLiteral("Member %1").arg(member.contactID);
                member.userName = QStringLiteral("member%1").arg(member.contactID);
                member.status = RosterManager::STATUS_ONLINE;
                team.contacts << member;
                list->addItem(member.fullName);
            }
            teams << team;
            combo->addItem(team.name);
        }
        window->findChild<RosterManager*>("rosterManager")->SetRosterList(teams, false);
        window->show();
        for (int c = 0; c < 2; ++c) {
            chats << std::make_shared<QWidget>();
            chats.last()->setObjectName(QStringLiteral("ChatDialog"));
            chats.last()->show();
        }
        window->StartTrackingTime();
        window->SetMemo(QStringLiteral("Benchmarking"), 0);
        window->findChild<MiscFunctions*>()->GetMemoDialog().hide();
        QCOMPARE(window->findChild<MiscFunctions*>()->GetUserCompanyID(), 11);
        QCOMPARE(window->findChild<QLabel*>("statusText")->text(), QString());
    }

    void tick()
    {
        QBENCHMARK
        {
            window->StateChecker();
        }
        QCOMPARE(window->findChild<QLabel*>("statusText")->text(), QString("2 chats"));
    }

    void cleanupTestCase()
    {
        chats.clear();
        window.reset();
    }
};

QTEST_MAIN(BenchStateChecker)
#include "bench_statechecker.moc"
