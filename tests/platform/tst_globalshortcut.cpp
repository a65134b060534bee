#include "GlobalShortcut.h"
#include "KeySentinel.h"
#include "MyShortcut.h"

#include <QtTest>

#include <X11/Xlib.h>
#include <X11/keysym.h>

// Keys are typed with xdotool; the sentinel after them tells when the grabber has read them.
class TestGlobalShortcut : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_sentinel.Bind());
        m_display = XOpenDisplay(nullptr);
        QVERIFY(m_display);
    }

    void cleanupTestCase() { XCloseDisplay(m_display); }

    void firesOncePerPressAndOnlyWithItsModifiers()
    {
        GlobalShortcut shortcut;
        QSignalSpy fired(&shortcut, &GlobalShortcut::Activated);
        QVERIFY(shortcut.SetShortcut("Ctrl+Alt+K"));
        QVERIFY(shortcut.IsBound());
        QCOMPARE(shortcut.GetShortcut(), QString("Ctrl+Alt+K"));

        QVERIFY(m_sentinel.PressThenSync({ "ctrl+alt+k" }));
        QCOMPARE(fired.count(), 1);
        QVERIFY(m_sentinel.PressThenSync({ "ctrl+alt+k", "ctrl+alt+k" }));
        QCOMPARE(fired.count(), 3);
        QVERIFY(m_sentinel.PressThenSync({ "k", "ctrl+k", "alt+k", "ctrl+alt+shift+k" }));
        QCOMPARE(fired.count(), 3);
    }

    void firesWithNumLockOrCapsLockOn()
    {
        GlobalShortcut shortcut;
        QSignalSpy fired(&shortcut, &GlobalShortcut::Activated);
        QVERIFY(shortcut.SetShortcut("Ctrl+Shift+J"));
        QVERIFY(m_sentinel.PressThenSync({ "Num_Lock", "ctrl+shift+j", "Caps_Lock", "ctrl+shift+j",
            "Num_Lock", "ctrl+shift+j", "Caps_Lock" }));
        QCOMPARE(fired.count(), 3);
    }

    void heldKeyFiresOnce()
    {
        GlobalShortcut shortcut;
        QSignalSpy fired(&shortcut, &GlobalShortcut::Activated);
        QVERIFY(shortcut.SetShortcut("Alt+F3"));
        QVERIFY(xdotool({ "keydown", "alt+F3", "sleep", "1", "keyup", "alt+F3" }));
        QVERIFY(m_sentinel.PressThenSync({ "alt+F3" }));
        QCOMPARE(fired.count(), 2);
    }

    void rebindingMovesTheShortcutWithoutDuplicates()
    {
        MyShortcut shortcut;
        shortcut.SetName("3");
        QSignalSpy fired(&shortcut, &MyShortcut::ShortcutActivated);
        QVERIFY(shortcut.SetShortcut("Ctrl+Alt+K"));
        QVERIFY(shortcut.SetShortcut("Ctrl+Alt+K"));
        QVERIFY(shortcut.SetShortcut("Shift+F5"));
        QVERIFY(m_sentinel.PressThenSync({ "ctrl+alt+k", "shift+F5" }));
        QCOMPARE(fired.count(), 1);
        QCOMPARE(fired.at(0).at(0).toString(), QString("3"));

        // A refused text leaves nothing bound, not the previous keys.
        QVERIFY(!shortcut.SetShortcut("Shift+"));
        QVERIFY(!shortcut.IsBound());
        QCOMPARE(shortcut.GetShortcut(), QString());
        QVERIFY(m_sentinel.PressThenSync({ "shift+F5" }));
        QCOMPARE(fired.count(), 1);
    }

    void unbindingAndDestructionReleaseTheKeys()
    {
        GlobalShortcut shortcut;
        QSignalSpy fired(&shortcut, &GlobalShortcut::Activated);
        QVERIFY(shortcut.SetShortcut("Ctrl+Alt+U"));
        shortcut.UnsetShortcut();
        QVERIFY(!shortcut.IsBound());
        QVERIFY(m_sentinel.PressThenSync({ "ctrl+alt+u" }));
        QCOMPARE(fired.count(), 0);
        QVERIFY(otherClientCanGrab(XK_u, ControlMask | Mod1Mask));

        {
            GlobalShortcut scoped;
            QVERIFY(scoped.SetShortcut("Ctrl+Alt+U"));
            QVERIFY(!otherClientCanGrab(XK_u, ControlMask | Mod1Mask));
        }
        QVERIFY(otherClientCanGrab(XK_u, ControlMask | Mod1Mask));
    }

    void refusesTextsWithoutASingleKnownKey_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::newRow("empty") << "";
        QTest::newRow("modifier only") << "Alt+";
        QTest::newRow("all modifiers") << "Ctrl+Alt+Shift+";
        QTest::newRow("modifier as key") << "Ctrl+Shift";
        QTest::newRow("unknown key") << "Ctrl+Foo";
        QTest::newRow("unknown modifier") << "Hyper+K";
        QTest::newRow("unsupported modifier") << "Meta+K";
        QTest::newRow("two keys") << "Ctrl+K, L";
    }

    void refusesTextsWithoutASingleKnownKey()
    {
        QFETCH(QString, keys);
        GlobalShortcut shortcut;
        QVERIFY(!shortcut.SetShortcut(keys));
        QVERIFY(!shortcut.IsBound());
    }

    void acceptsTheStoredForms()
    {
        GlobalShortcut shortcut;
        QSignalSpy fired(&shortcut, &GlobalShortcut::Activated);
        // The preferences also accept "Cmd+" for Ctrl; "Ctrl++" is Ctrl with the plus key.
        QVERIFY(shortcut.SetShortcut("Cmd+Shift+1"));
        QVERIFY(m_sentinel.PressThenSync({ "ctrl+shift+1" }));
        QCOMPARE(fired.count(), 1);
        QVERIFY(shortcut.SetShortcut("Ctrl+,"));
        QVERIFY(m_sentinel.PressThenSync({ "ctrl+comma" }));
        QCOMPARE(fired.count(), 2);
        QVERIFY(shortcut.SetShortcut("F7"));
        QVERIFY(m_sentinel.PressThenSync({ "F7" }));
        QCOMPARE(fired.count(), 3);
    }

    void keysHeldElsewhereAreRefusedAndNothingIsGrabbed()
    {
        // Another application holds Ctrl+Alt+H with Num Lock on only.
        const KeyCode key = XKeysymToKeycode(m_display, XK_h);
        XGrabKey(m_display, key, ControlMask | Mod1Mask | Mod2Mask, DefaultRootWindow(m_display),
            False, GrabModeAsync, GrabModeAsync);
        XSync(m_display, False);

        GlobalShortcut shortcut;
        QSignalSpy fired(&shortcut, &GlobalShortcut::Activated);
        QVERIFY(!shortcut.SetShortcut("Ctrl+Alt+H"));
        QVERIFY(!shortcut.IsBound());
        XUngrabKey(m_display, key, ControlMask | Mod1Mask | Mod2Mask, DefaultRootWindow(m_display));
        XSync(m_display, False);
        QVERIFY(m_sentinel.PressThenSync({ "ctrl+alt+h" }));
        QCOMPARE(fired.count(), 0);
        QVERIFY(otherClientCanGrab(XK_h, ControlMask | Mod1Mask));

        // Two shortcuts of this process cannot share keys either.
        GlobalShortcut first;
        GlobalShortcut second;
        QVERIFY(first.SetShortcut("Ctrl+Alt+H"));
        QVERIFY(!second.SetShortcut("Ctrl+Alt+H"));
        QSignalSpy firstFired(&first, &GlobalShortcut::Activated);
        QVERIFY(m_sentinel.PressThenSync({ "ctrl+alt+h" }));
        QCOMPARE(firstFired.count(), 1);
    }

private:
    bool otherClientCanGrab(KeySym keysym, unsigned int modifiers)
    {
        static bool failed;
        failed = false;
        XSync(m_display, False);
        XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) {
            failed = true;
            return 0;
        });
        const KeyCode key = XKeysymToKeycode(m_display, keysym);
        XGrabKey(m_display, key, modifiers, DefaultRootWindow(m_display), False, GrabModeAsync,
            GrabModeAsync);
        XSync(m_display, False);
        XUngrabKey(m_display, key, modifiers, DefaultRootWindow(m_display));
        XSync(m_display, False);
        XSetErrorHandler(previous);
        return !failed;
    }

    KeySentinel m_sentinel;
    Display* m_display = nullptr;
};

QTEST_GUILESS_MAIN(TestGlobalShortcut)
#include "tst_globalshortcut.moc"
