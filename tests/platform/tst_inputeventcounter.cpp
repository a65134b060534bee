#include "InputEventCounter.h"
#include "XdoTool.h"

#include <QtTest>

class TestInputEventCounter : public QObject
{
    Q_OBJECT
private slots:
    void countsKeyPressesAndClicksExactly()
    {
        InputEventCounter counter;
        QVERIFY(counter.Install());
        QVERIFY(counter.IsInstalled());
        QVERIFY(xdotool({ "key", "a", "b", "c", "Return", "shift+d" })); // shift+d: two presses
        QVERIFY(xdotool({ "click", "--repeat", "3", "1" }));
        QVERIFY(xdotool({ "click", "3" }));
        QTRY_COMPARE(counter.GetMouseEvents(), 4);
        QTRY_COMPARE(counter.GetKeyEvents(), 6);

        counter.Reset();
        QCOMPARE(counter.GetKeyEvents(), 0);
        QCOMPARE(counter.GetMouseEvents(), 0);
        QVERIFY(xdotool({ "key", "x" }));
        QTRY_COMPARE(counter.GetKeyEvents(), 1);
    }

    void scrollingIsNoClick()
    {
        InputEventCounter counter;
        QVERIFY(counter.Install());
        QVERIFY(xdotool({ "click", "4", "click", "5", "click", "1" }));
        QTRY_COMPARE(counter.GetMouseEvents(), 1);
        QTest::qWait(100);
        QCOMPARE(counter.GetMouseEvents(), 1);
    }

    void heldKeyCountsOnce()
    {
        InputEventCounter counter;
        QVERIFY(counter.Install());
        QVERIFY(xdotool({ "keydown", "g", "sleep", "1", "keyup", "g", "key", "h" }));
        QTRY_COMPARE(counter.GetKeyEvents(), 2);
        QTest::qWait(100);
        QCOMPARE(counter.GetKeyEvents(), 2);
    }

    void nothingIsCountedAfterRemoval()
    {
        InputEventCounter removed;
        InputEventCounter witness;
        QVERIFY(removed.Install());
        QVERIFY(witness.Install());
        QVERIFY(xdotool({ "key", "a" }));
        QTRY_COMPARE(removed.GetKeyEvents(), 1);
        QTRY_COMPARE(witness.GetKeyEvents(), 1);

        removed.Remove();
        QVERIFY(!removed.IsInstalled());
        QVERIFY(xdotool({ "key", "b", "c" }));
        QVERIFY(xdotool({ "click", "1" }));
        QTRY_COMPARE(witness.GetMouseEvents(), 1);
        QCOMPARE(witness.GetKeyEvents(), 3);
        QCOMPARE(removed.GetKeyEvents(), 1);
        QCOMPARE(removed.GetMouseEvents(), 0);

        // Counting again after a removal works like the first time.
        QVERIFY(removed.Install());
        QVERIFY(xdotool({ "key", "d" }));
        QTRY_COMPARE(removed.GetKeyEvents(), 2);
    }
};

// A GUI application keeps Qt's own connection to the display open: with no client left between
// two cases the X server would reset, and a counter installed meanwhile could not connect.
QTEST_MAIN(TestInputEventCounter)
#include "tst_inputeventcounter.moc"
