#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <poll.h>

// From process start to its sign-in dialog mapped on the display, for the client and for a
// minimal Qt dialog drawn by raster only as the client is, in the same run, one after the other.
// Run it on a display of its own:
//   tests/run-isolated --x11 build-bench/bench/tracking/bench_startup
// BENCH_CLIENT=<path> times another client binary (a build of another commit); BENCH_RUNS
// (default 9) sets the number of starts of each.
class BenchStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        display = XOpenDisplay(nullptr);
        QVERIFY(display);
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
        // Each program once before timing: fonts and libraries come from the disk cache after.
        QVERIFY(TimeToDialog(Client()) > 0);
        QVERIFY(TimeToDialog(MINIMAL_DIALOG_PATH, { "--raster" }) > 0);
    }

    void startToSignInDialog()
    {
        const int runs = qEnvironmentVariableIsSet("BENCH_RUNS")
            ? qEnvironmentVariableIntValue("BENCH_RUNS")
            : 9;
        QList<double> client;
        QList<double> minimal;
        QList<double> ratios;
        for (int run = 0; run < runs; ++run) {
            minimal << TimeToDialog(MINIMAL_DIALOG_PATH, { "--raster" });
            client << TimeToDialog(Client());
            ratios << client.last() / minimal.last();
        }
        QVERIFY(!client.contains(-1) && !minimal.contains(-1));
        std::sort(ratios.begin(), ratios.end());
        qInfo("start to sign-in dialog: client %.0f ms, minimal raster Qt dialog %.0f ms "
              "(medians of %d), ratio of the medians %.2f; ratio per run median %.2f "
              "[%.2f-%.2f]",
            Median(client), Median(minimal), runs, Median(client) / Median(minimal), Median(ratios),
            ratios.first(), ratios.last());
    }

    void cleanupTestCase()
    {
        if (display)
            XCloseDisplay(display);
    }

private:
    static double Median(QList<double> values)
    {
        std::sort(values.begin(), values.end());
        return values.at(values.size() / 2);
    }

    static QString Client()
    {
        return qEnvironmentVariableIsSet("BENCH_CLIENT") ? qEnvironmentVariable("BENCH_CLIENT")
                                                         : QStringLiteral(CLIENT_PATH);
    }

    // Milliseconds from starting the program to a window titled "Sign in - ..." mapped; -1 when
    // none came within 20 s.
    double TimeToDialog(const QString& program, const QStringList& arguments = {})
    {
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* folder : { "/.config", "/.local/share", "/.cache", "/runtime" }) {
            QDir().mkpath(home.path() + folder);
        }
        QFile::setPermissions(home.path() + "/runtime",
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", home.path() + "/.config");
        environment.insert("XDG_DATA_HOME", home.path() + "/.local/share");
        environment.insert("XDG_CACHE_HOME", home.path() + "/.cache");
        environment.insert("XDG_RUNTIME_DIR", home.path() + "/runtime");
        // Nothing may leave the machine: the service is a closed local port.
        environment.insert("MOVARELQUINTASH_API_URL", "https://127.0.0.1:9");
        environment.insert("MOVARELQUINTASH_CHAT_HOST", "127.0.0.1");
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        while (XPending(display)) {
            XEvent stale;
            XNextEvent(display, &stale);
        }
        QElapsedTimer clock;
        clock.start();
        process.start(program, arguments);
        double mapped = -1;
        while (mapped < 0 && clock.elapsed() < 20000) {
            if (!XPending(display)) {
                pollfd descriptor { ConnectionNumber(display), POLLIN, 0 };
                poll(&descriptor, 1, 20);
                continue;
            }
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && IsSignInDialog(event.xmap.window))
                mapped = clock.nsecsElapsed() / 1e6;
        }
        process.kill();
        process.waitForFinished();
        return mapped;
    }

    bool IsSignInDialog(Window window)
    {
        XTextProperty name;
        if (!XGetTextProperty(display, window, &name, XInternAtom(display, "_NET_WM_NAME", False))
            && !XGetWMName(display, window, &name))
            return false;
        const bool found = name.value
            && QByteArray(reinterpret_cast<const char*>(name.value)).startsWith("Sign in - ");
        XFree(name.value);
        return found;
    }

    Display* display = nullptr;
};

QTEST_GUILESS_MAIN(BenchStartup)
#include "bench_startup.moc"
