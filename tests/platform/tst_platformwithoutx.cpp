#include "GlobalShortcut.h"
#include "InputEventCounter.h"
#include "MyShortcut.h"
#include "WindowSystem.h"

#include <QtTest>

// The offscreen platform with no X display at all: every service answers its safe default.
class TestPlatformWithoutX : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(qEnvironmentVariableIsEmpty("DISPLAY")); }

    void queriesGiveTheirDefaults()
    {
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(WindowSystem::GetIdleTime(), 0);
            QVERIFY(!WindowSystem::IsSystemLocked());
            QVERIFY(!WindowSystem::IsScreensaverActive());
            QVERIFY(!WindowSystem::GetUniverseFlagState());
            QCOMPARE(WindowSystem::GetActiveWindowTitle(), QString());
        }
    }

    void countingFails()
    {
        InputEventCounter counter;
        QVERIFY(!counter.Install());
        QVERIFY(!counter.IsInstalled());
        counter.Remove();
        counter.Reset();
        QCOMPARE(counter.GetKeyEvents(), 0);
        QCOMPARE(counter.GetMouseEvents(), 0);
    }

    void hotkeysFail()
    {
        MyShortcut shortcut;
        QVERIFY(!shortcut.SetShortcut("Ctrl+Alt+K"));
        QVERIFY(!shortcut.IsBound());
        QCOMPARE(shortcut.GetShortcut(), QString());
        shortcut.UnsetShortcut();
    }
};

QTEST_MAIN(TestPlatformWithoutX)
#include "tst_platformwithoutx.moc"
