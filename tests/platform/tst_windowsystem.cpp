#include "WindowSystem.h"
#include "XdoTool.h"

#include <QWidget>
#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

// Runs on a private Xvfb display without a window manager; the test itself plays the window
// manager where one is needed.
class TestWindowSystem : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qunsetenv("WAYLAND_DISPLAY");
        qunsetenv("XDG_SESSION_TYPE");
        m_display = XOpenDisplay(nullptr);
        QVERIFY(m_display);
    }

    void cleanupTestCase() { XCloseDisplay(m_display); }

    void idleTimeGrowsAndDropsAtInput()
    {
        QVERIFY(xdotool({ "key", "shift" }));
        const int before = WindowSystem::GetIdleTime();
        QTest::qWait(1200);
        const int after = WindowSystem::GetIdleTime();
        QVERIFY2(after >= before + 1000, qPrintable(QString("%1 -> %2").arg(before).arg(after)));
        QVERIFY(xdotool({ "key", "shift" }));
        QVERIFY(WindowSystem::GetIdleTime() < 1000);
    }

    void screenSaverFollowsTheServer()
    {
        QVERIFY(!WindowSystem::IsScreensaverActive());
        XForceScreenSaver(m_display, ScreenSaverActive);
        XSync(m_display, False);
        QVERIFY(WindowSystem::IsScreensaverActive());
        XForceScreenSaver(m_display, ScreenSaverReset);
        XSync(m_display, False);
        QVERIFY(!WindowSystem::IsScreensaverActive());
    }

    void noLogindMeansUnlocked() { QVERIFY(!WindowSystem::IsSystemLocked()); }

    void inputCountingNeedsXInput2OutsideWayland()
    {
        QVERIFY(WindowSystem::GetUniverseFlagState());
        qputenv("XDG_SESSION_TYPE", "wayland");
        QVERIFY(!WindowSystem::GetUniverseFlagState());
        qunsetenv("XDG_SESSION_TYPE");
        QVERIFY(WindowSystem::GetUniverseFlagState());
    }

    void titleOfTheActiveWindow()
    {
        const QString title = QString::fromUtf8("Отчёт за неделю — 週報 ✓");
        QWidget window;
        window.setWindowTitle(title);
        window.resize(200, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        setActiveWindow(window.winId());
        QCOMPARE(WindowSystem::GetActiveWindowTitle(), title);

        window.setWindowTitle("Renamed");
        QTRY_COMPARE(WindowSystem::GetActiveWindowTitle(), QString("Renamed"));
    }

    void plainWindowNameIsTheFallback()
    {
        // An old-style client: only WM_NAME, in Latin-1.
        const Window window
            = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 50, 50, 0, 0, 0);
        XStoreName(m_display, window, "Caf\xe9 menu");
        setActiveWindow(window);
        QCOMPARE(WindowSystem::GetActiveWindowTitle(), QString::fromUtf8("Café menu"));
        XDestroyWindow(m_display, window);
    }

    void unreadableTitleIsEmpty()
    {
        const Window window
            = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 50, 50, 0, 0, 0);
        setActiveWindow(window);
        QCOMPARE(WindowSystem::GetActiveWindowTitle(), QString()); // no name at all

        // The active window vanished before the window manager updated the root.
        XDestroyWindow(m_display, window);
        XSync(m_display, False);
        QCOMPARE(WindowSystem::GetActiveWindowTitle(), QString());
        QCOMPARE(WindowSystem::GetActiveWindowTitle(), QString());

        setActiveWindow(None);
        QCOMPARE(WindowSystem::GetActiveWindowTitle(), QString());
        XDeleteProperty(m_display, DefaultRootWindow(m_display),
            XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False));
        XSync(m_display, False);
        QCOMPARE(WindowSystem::GetActiveWindowTitle(), QString());
        // Still able to answer after the errors.
        QVERIFY(WindowSystem::GetIdleTime() >= 0);
        QVERIFY(WindowSystem::GetUniverseFlagState());
    }

private:
    void setActiveWindow(unsigned long window)
    {
        XChangeProperty(m_display, DefaultRootWindow(m_display),
            XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False), XA_WINDOW, 32, PropModeReplace,
            reinterpret_cast<const unsigned char*>(&window), 1);
        XSync(m_display, False);
    }

    Display* m_display = nullptr;
};

QTEST_MAIN(TestWindowSystem)
#include "tst_windowsystem.moc"
