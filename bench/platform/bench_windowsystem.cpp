#include "WindowSystem.h"

#include <QWidget>
#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

// The four desktop queries the state checker makes four times a second, one call each.
// Run under a display: tests/run-isolated --x11 bench_windowsystem
class BenchWindowSystem : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display");
        // An active window with a title, as a window manager would announce it.
        m_window.setWindowTitle(QString::fromUtf8("Quarterly report — draft"));
        m_window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_window));
        Display* display = XOpenDisplay(nullptr);
        const unsigned long window = m_window.winId();
        XChangeProperty(display, DefaultRootWindow(display),
            XInternAtom(display, "_NET_ACTIVE_WINDOW", False), XA_WINDOW, 32, PropModeReplace,
            reinterpret_cast<const unsigned char*>(&window), 1);
        XCloseDisplay(display);
        QCOMPARE(WindowSystem::GetActiveWindowTitle(), m_window.windowTitle());
        // The first calls open the connection and start the watchers.
        WindowSystem::GetIdleTime();
        WindowSystem::IsSystemLocked();
        WindowSystem::IsScreensaverActive();
        QTest::qWait(100);
    }

    void getIdleTime()
    {
        QBENCHMARK
        {
            WindowSystem::GetIdleTime();
        }
    }

    void isSystemLocked()
    {
        QBENCHMARK
        {
            WindowSystem::IsSystemLocked();
        }
    }

    void isScreensaverActive()
    {
        QBENCHMARK
        {
            WindowSystem::IsScreensaverActive();
        }
    }

    void getActiveWindowTitle()
    {
        QBENCHMARK
        {
            WindowSystem::GetActiveWindowTitle();
        }
    }

private:
    QWidget m_window;
};

QTEST_MAIN(BenchWindowSystem)
#include "bench_windowsystem.moc"
