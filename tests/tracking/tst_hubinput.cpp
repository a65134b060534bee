#include "tracking/MiscFunctions.h"

#include "KeySentinel.h"

#include <QtTest>

// The hub's hotkeys and activity counting on a real X display, driven by xdotool.
class TestHubInput : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(Res);
        QVERIFY(m_sentinel.Bind());
    }

    void rebindingKeepsOneActivationPerPress()
    {
        MiscFunctions misc;
        QSignalSpy activated(&misc, &MiscFunctions::ShortcutActivated);
        QVERIFY(misc.SetShortcut(MiscFunctions::SHORTCUT_OPEN_MEMO, "Ctrl+Alt+M"));
        QVERIFY(misc.SetShortcut(MiscFunctions::SHORTCUT_OPEN_MEMO, "Ctrl+Alt+M"));
        QVERIFY(misc.SetShortcut(MiscFunctions::SHORTCUT_OPEN_MEMO, "Ctrl+Alt+N"));
        QVERIFY(misc.SetShortcut(MiscFunctions::SHORTCUT_SNAP_3_DISPLAY, "Alt+F9"));

        QVERIFY(m_sentinel.PressThenSync({ "ctrl+alt+n", "ctrl+alt+m", "alt+F9", "ctrl+alt+n" }));
        QCOMPARE(activated.count(), 3);
        QCOMPARE(activated.at(0).at(0).toInt(), int(MiscFunctions::SHORTCUT_OPEN_MEMO));
        QCOMPARE(activated.at(1).at(0).toInt(), int(MiscFunctions::SHORTCUT_SNAP_3_DISPLAY));
        QCOMPARE(activated.at(2).at(0).toInt(), int(MiscFunctions::SHORTCUT_OPEN_MEMO));
    }

    void emptyKeysBindNothingAndReleaseTheOldKeys()
    {
        MiscFunctions misc;
        QSignalSpy activated(&misc, &MiscFunctions::ShortcutActivated);
        QVERIFY(!misc.SetShortcut(MiscFunctions::SHORTCUT_OPEN_TEAM_ROOM, QString()));
        QVERIFY(misc.SetShortcut(MiscFunctions::SHORTCUT_LAST_SNAPSHOT, "Ctrl+Alt+L"));
        QVERIFY(!misc.SetShortcut(MiscFunctions::SHORTCUT_LAST_SNAPSHOT, QString()));
        QVERIFY(m_sentinel.PressThenSync({ "ctrl+alt+l" }));
        QCOMPARE(activated.count(), 0);

        // Released keys are free for another hotkey.
        QVERIFY(misc.SetShortcut(MiscFunctions::SHORTCUT_OPEN_PREFERENCES, "Ctrl+Alt+L"));
        QVERIFY(!misc.SetShortcut(MiscFunctions::SHORTCUT_OPEN_MEMO, "Ctrl+Alt+L"));
        QVERIFY(m_sentinel.PressThenSync({ "ctrl+alt+l" }));
        QCOMPARE(activated.count(), 1);
        QCOMPARE(activated.at(0).at(0).toInt(), int(MiscFunctions::SHORTCUT_OPEN_PREFERENCES));
    }

    void samplesCarryTheCountsOfTheirInterval()
    {
        MiscFunctions misc;
        misc.SetSampleInterval(60000);
        misc.StartCountEvents();
        QVERIFY(xdotool({ "key", "a", "b", "c" }));
        QVERIFY(xdotool({ "click", "1" }));
        QTest::qWait(200);
        QVERIFY(misc.GetStatistic().isEmpty()); // nothing until the first sample

        // From here on a sample every 100 ms: the counts land in one sample or spread over a
        // few, but none is lost or counted twice.
        misc.SetSampleInterval(100);
        misc.StartCountEvents();
        QVERIFY(xdotool({ "key", "d", "e" }));
        QVERIFY(xdotool({ "click", "1", "click", "3" }));
        QTRY_COMPARE(total(misc.GetStatistic()), QPoint(2, 2));
        const QList<MiscFunctions::EVENTS_STATISTIC> samples = misc.GetStatistic();
        for (const MiscFunctions::EVENTS_STATISTIC& sample : samples)
            QVERIFY(sample.time.isValid());

        // The copy stays until the next sample; the running list starts empty again.
        misc.StopCountEvents();
        misc.ResetStatistic();
        QCOMPARE(misc.GetStatistic().size(), samples.size());
        misc.StartCountEvents();
        QVERIFY(xdotool({ "key", "f" }));
        QTRY_COMPARE(total(misc.GetStatistic()), QPoint(1, 0));

        misc.StopCountEvents();
        misc.ResetAllStatistic();
        QVERIFY(misc.GetStatistic().isEmpty());
        QVERIFY(xdotool({ "key", "g" }));
        QTest::qWait(300);
        QVERIFY(misc.GetStatistic().isEmpty());
    }

private:
    // Key and mouse totals of the samples, as x and y.
    static QPoint total(const QList<MiscFunctions::EVENTS_STATISTIC>& samples)
    {
        QPoint sum;
        for (const MiscFunctions::EVENTS_STATISTIC& sample : samples)
            sum += QPoint(sample.keyEvents, sample.mouseEvents);
        return sum;
    }

    KeySentinel m_sentinel;
};

QTEST_MAIN(TestHubInput)
#include "tst_hubinput.moc"
