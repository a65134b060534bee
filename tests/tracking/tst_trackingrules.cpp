#include "tracking/TrackingControl.h"

#include <QtTest>

using Request = TrackingControl::Request;
using TeamChoice = TrackingControl::TeamChoice;

Q_DECLARE_METATYPE(TrackingControl::Request)
Q_DECLARE_METATYPE(TrackingControl::TeamChoice)

// The working session's decisions, without a window: which requests reach the toggle, and what
// a team chosen in the tray or the team menu means.
class TestTrackingRules : public QObject
{
    Q_OBJECT
private slots:
    void requestReachesTheToggle_data()
    {
        QTest::addColumn<Request>("request");
        QTest::addColumn<bool>("tracking");
        QTest::addColumn<bool>("toggles");
        QTest::newRow("toggle, stopped") << Request::Toggle << false << true;
        QTest::newRow("toggle, tracking") << Request::Toggle << true << true;
        // The stop reminder's Start and the hotkeys must not end tracking begun meanwhile.
        QTest::newRow("start, stopped") << Request::Start << false << true;
        QTest::newRow("start, tracking") << Request::Start << true << false;
        QTest::newRow("stop, stopped") << Request::Stop << false << false;
        QTest::newRow("stop, tracking") << Request::Stop << true << true;
    }

    void requestReachesTheToggle()
    {
        QFETCH(Request, request);
        QFETCH(bool, tracking);
        QFETCH(bool, toggles);
        QCOMPARE(TrackingControl::Toggles(request, tracking), toggles);
    }

    void chosenTeam_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("current");
        QTest::addColumn<TeamChoice>("choice");
        QTest::newRow("none while stopped") << QString() << QString() << TeamChoice::Blank;
        QTest::newRow("none while tracking") << QString() << "Atlas" << TeamChoice::Blank;
        QTest::newRow("the tracked one") << "Atlas"
                                         << "Atlas" << TeamChoice::Current;
        QTest::newRow("another") << "Borealis"
                                 << "Atlas" << TeamChoice::Other;
        QTest::newRow("one while stopped") << "Atlas" << QString() << TeamChoice::Other;
        // Names are the service's, compared as written.
        QTest::newRow("same name, other case") << "atlas"
                                               << "Atlas" << TeamChoice::Other;
    }

    void chosenTeam()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, current);
        QFETCH(TeamChoice, choice);
        QCOMPARE(TrackingControl::ChooseTeam(chosen, current), choice);
    }
};

QTEST_APPLESS_MAIN(TestTrackingRules)
#include "tst_trackingrules.moc"
