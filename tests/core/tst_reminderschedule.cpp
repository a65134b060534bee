#include "ReminderSchedule.h"

#include <QtTest>

#include <climits>

namespace {

constexpr int minute = 60 * 1000;
constexpr int leftAsItIs = -1;
constexpr int dialog = int(ReminderSchedule::Kind::Dialog);
constexpr int notice = int(ReminderSchedule::Kind::Notice);
constexpr int none = int(ReminderSchedule::Kind::None);

} // namespace

// The stop and memo reminders' timing and kinds, as the main window asks for them.
class tst_ReminderSchedule : public QObject
{
    Q_OBJECT

private slots:
    void armsTheStopReminderWhileStopped_data()
    {
        QTest::addColumn<bool>("tracking");
        QTest::addColumn<bool>("wanted");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("interval");
        QTest::newRow("2 minutes") << false << true << 0 << 2 * minute;
        QTest::newRow("10 minutes") << false << true << 2 << 10 * minute;
        QTest::newRow("30 minutes") << false << true << 4 << 30 * minute;
        QTest::newRow("below the list") << false << true << -1 << 15 * minute;
        QTest::newRow("past the list") << false << true << 5 << 15 * minute;
        QTest::newRow("far past the list") << false << true << INT_MAX << 15 * minute;
        QTest::newRow("tracking") << true << true << 0 << leftAsItIs;
        QTest::newRow("not wanted") << false << false << 0 << leftAsItIs;
    }
    void armsTheStopReminderWhileStopped()
    {
        QFETCH(bool, tracking);
        QFETCH(bool, wanted);
        QFETCH(int, index);
        QFETCH(int, interval);
        QCOMPARE(ReminderSchedule::StopReminderArming(tracking, wanted, index).value_or(leftAsItIs),
            interval);
    }

    // The same stored numbers name the kinds of both reminders; the memo reminder's tick shows
    // its kind whether tracking runs or not.
    void showsTheStoredKind_data()
    {
        QTest::addColumn<bool>("tracking");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("stop");
        QTest::addColumn<int>("memo");
        QTest::newRow("dialog") << false << 0 << dialog << dialog;
        QTest::newRow("notice") << false << 1 << notice << notice;
        QTest::newRow("none") << false << 2 << none << none;
        QTest::newRow("past the kinds") << false << 3 << none << none;
        QTest::newRow("below the kinds") << false << -1 << none << none;
        QTest::newRow("dialog while tracking") << true << 0 << none << dialog;
        QTest::newRow("notice while tracking") << true << 1 << none << notice;
    }
    void showsTheStoredKind()
    {
        QFETCH(bool, tracking);
        QFETCH(int, stored);
        QFETCH(int, stop);
        QFETCH(int, memo);
        QCOMPARE(int(ReminderSchedule::StopReminderShown(tracking, stored)), stop);
        QCOMPARE(int(ReminderSchedule::KindOf(stored)), memo);
    }

    void armsTheMemoReminderForAPositiveInterval_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("armed");
        QTest::newRow("15 minutes") << 0 << 15 * minute << true;
        QTest::newRow("1 hour") << 2 << 60 * minute << true;
        QTest::newRow("2 hours") << 3 << 120 * minute << true;
        QTest::newRow("never") << 4 << 0 << false;
        QTest::newRow("no entry chosen") << -1 << 0 << false;
        QTest::newRow("past the list") << 5 << 0 << false;
    }
    void armsTheMemoReminderForAPositiveInterval()
    {
        QFETCH(int, index);
        QFETCH(int, interval);
        QFETCH(bool, armed);
        QCOMPARE(ReminderSchedule::MemoInterval(index), interval);
        QCOMPARE(ReminderSchedule::MemoReminderArmed(interval), armed);
    }
};

QTEST_GUILESS_MAIN(tst_ReminderSchedule)
#include "tst_reminderschedule.moc"
