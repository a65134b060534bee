#include "FakeServiceProcess.h"
#include "GapMeter.h"
#include "SettingsProvider.h"
#include "TextDesktop.h"
#include "XdoTool.h"

#include <QDateTime>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <X11/Xlib.h>
#include <algorithm>
#include <poll.h>

namespace {

const QString memo = QStringLiteral("Measuring the stalls");
// 540 s times this is a capture every 3 s.
const char* const timeScale = "0.00556";
// The probe notes gaps above this; a tick alone is 5 ms.
const int gapFloorMs = qEnvironmentVariableIsSet("BENCH_GAP_FLOOR")
    ? qEnvironmentVariableIntValue("BENCH_GAP_FLOOR")
    : 8;

struct Gap
{
    qint64 end; // ms since the epoch
    int length; // ms
};

// A time the system woke the GUI thread after the limit it slept with (the wake probe).
struct LateWake
{
    qint64 end; // ms since the epoch
    double late; // ms past the limit
};

// Sorted copy's element at the fraction, e.g. 0.9 for the 90th percentile.
double Percentile(QList<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(qMin(values.size() - 1, int(values.size() * fraction)));
}

QString Summary(const QList<double>& values)
{
    return QString::asprintf("median %.0f ms [%.0f-%.0f], p90 %.0f", Median(values),
        *std::min_element(values.begin(), values.end()),
        *std::max_element(values.begin(), values.end()), Percentile(values, 0.9));
}

} // namespace

// The real client, as a member runs it, with the GUI-stall probe preloaded: every time its GUI
// thread is kept from its event loop longer than 8 ms is noted with the time it ended. The wake
// probe beside it notes every time the system woke the GUI thread late from a timed wait, so the
// captures are given a second time less those wakes: what the client itself held the thread. It is
// driven with xdotool on a desktop full of text, against the fake service:
// - the whole-desktop snap hotkey, each time until the editor is mapped: the longest stall and
//   the time to mapped; then Escape, whose hand-over renders the picture for the save dialog;
// - captures while tracking, one every 3 s: the longest stall between one upload's arrival and
//   the next (everything a capture does, from the timer to the upload, lies between), and the
//   client's memory after the first, the 11th, the 21st ... capture.
// Run it on a 3840x2160 display of its own, a Release build:
//   MQ_XVFB_SCREEN=3840x2160x24 tests/run-isolated --x11 build-bench/bench/tracking/bench_clientstalls
// BENCH_SNAPS (default 20) and BENCH_CAPTURES (default 150) set the counts, BENCH_SNAP_STROKES
// the free-hand strokes drawn in the editor before Escape (none by default), BENCH_CLIENT another
// client binary (a build of another commit), STALL_PROBE another
// build of the probe; run one part with its name (snapHotkey, captures) as the argument.
class BenchClientStalls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        display = XOpenDisplay(nullptr);
        QVERIFY(display);
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
        const QSize desktop(DisplayWidth(display, 0), DisplayHeight(display, 0));
        ExpectFourKDesktop(desktop);
        textDesktop.start(QCoreApplication::applicationFilePath(), { "-textdesktop" });
        QVERIFY(textDesktop.waitForReadyRead(20000));

        QVERIFY(service.Start({ "--update-version", "" }));
        SettingsProvider::SETTINGS settings;
        settings.hotkeys.StartTrackingTime = "Ctrl+Alt+Shift+T";
        settings.hotkeys.SnapAllDesktop = "Ctrl+Alt+Shift+S";
        settings.popupTimeout = 1;
        settings.soundMode = 0;
        SettingsProvider::instance()->SetCurrentSettings(settings);

        QVERIFY(gapsDir.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MOVARELQUINTASH_API_URL", service.BaseUrl().toString());
        environment.insert("MOVARELQUINTASH_CA_FILE", FakeServiceProcess::CaFile());
        // No chat server: a closed local port.
        environment.insert("MOVARELQUINTASH_CHAT_HOST", "127.0.0.1");
        environment.insert("MOVARELQUINTASH_CHAT_PORT", "9");
        environment.insert("MOVARELQUINTASH_WEB_URL", "http://127.0.0.1:9");
        environment.insert("MOVARELQUINTASH_TIME_SCALE", timeScale);
        environment.insert("LD_PRELOAD",
            qEnvironmentVariable("STALL_PROBE", STALL_PROBE_PATH) + ' ' + WAKE_PROBE_PATH);
        environment.insert("STALL_PROBE_OUT", GapsFile());
        environment.insert("WAKE_PROBE_OUT", gapsDir.filePath("wakes.txt"));
        environment.insert("STALL_PROBE_MIN", QString::number(gapFloorMs));
        client.setProcessEnvironment(environment);
        client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        client.start(qEnvironmentVariable("BENCH_CLIENT", CLIENT_PATH), QStringList());
        QVERIFY(client.waitForStarted());

        const QString dialog = FindWindow("^Sign in - ");
        QVERIFY(!dialog.isEmpty());
        QVERIFY(xdotool({ "windowfocus", "--sync", dialog }));
        QVERIFY(xdotool({ "type", "--delay", "10", "demo" }));
        QVERIFY(xdotool({ "key", "Tab" }));
        QVERIFY(xdotool({ "type", "--delay", "10", "demo123" }));
        QVERIFY(xdotool({ "key", "Return" }));
        QVERIFY(!FindWindow("^Movarelquintash - Team Room$").isEmpty());
        QTest::qWait(3000); // the roster and its pictures
    }

    void snapHotkey()
    {
        const int runs = qEnvironmentVariableIsSet("BENCH_SNAPS")
            ? qEnvironmentVariableIntValue("BENCH_SNAPS")
            : 20;
        QList<double> mapped;
        QList<double> freezes;
        QList<double> handOvers;
        QList<double> rests;
        const int strokes = qEnvironmentVariableIntValue("BENCH_SNAP_STROKES");
        for (int run = 0; run < runs; ++run) {
            DrainEvents();
            const qint64 pressed = Now();
            if (qEnvironmentVariableIsSet("BENCH_SHOW_GAPS"))
                qInfo("pressed %lld", pressed);
            QVERIFY(xdotool({ "key", "ctrl+alt+shift+s" }));
            const Window editor = WaitForMap(5000, true);
            QVERIFY2(editor, "the snap editor did not come");
            mapped << double(mappedAt - pressed);
            QTest::qWait(800);
            freezes << LongestGap(pressed, Now());
            if (strokes > 0) {
                // Free-hand strokes with the editor's first tool, spread over the picture; then
                // the member looks at the drawing a while.
                for (int i = 0; i < strokes; ++i) {
                    const QPoint at(40 + (i * 173) % 3600, 40 + (i * 97) % 1960);
                    QStringList stroke { "mousemove", QString::number(at.x()),
                        QString::number(at.y()), "mousedown", "1" };
                    for (int p = 1; p < 6; ++p)
                        stroke << "mousemove" << QString::number(at.x() + p * 20)
                               << QString::number(at.y() + (p % 2) * 30);
                    QVERIFY(xdotool(stroke << "mouseup" << "1"));
                }
                DrainEvents();
                const qint64 drawn = Now();
                QTest::qWait(1000);
                rests << LongestGap(drawn, Now());
            }

            // Escape hands the picture over to the save dialog, which Escape then discards.
            DrainEvents();
            const qint64 escaped = Now();
            QVERIFY(xdotool({ "key", "Escape" }));
            QVERIFY2(WaitForMap(5000, false), "the save dialog did not come");
            QTest::qWait(500);
            handOvers << LongestGap(escaped, Now());
            const QString saveDialog = FindWindow("^ScreenSnap is ready$");
            QVERIFY(!saveDialog.isEmpty());
            QVERIFY(xdotool({ "windowfocus", "--sync", saveDialog }));
            QVERIFY(xdotool({ "key", "Escape" }));
            QTest::qWait(700);
        }
        if (qEnvironmentVariableIsSet("BENCH_SHOW_GAPS"))
            for (const Gap& gap : Gaps())
                qInfo("gap %lld %d", gap.end, gap.length);
        qInfo("snap hotkey to editor mapped: %s", qPrintable(Summary(mapped)));
        qInfo("longest stall from the snap hotkey on: %s", qPrintable(Summary(freezes)));
        qInfo("longest stall from Escape to the save dialog: %s", qPrintable(Summary(handOvers)));
        if (!rests.isEmpty())
            qInfo("longest stall in the second after drawing %d strokes: %s", strokes,
                qPrintable(Summary(rests)));
        qInfo("(a stall below %d ms counts as %d ms)", gapFloorMs, gapFloorMs);
    }

    void captures()
    {
        const int count = qEnvironmentVariableIsSet("BENCH_CAPTURES")
            ? qEnvironmentVariableIntValue("BENCH_CAPTURES")
            : 150;
        const int before = UploadTimes().size();
        QVERIFY(xdotool({ "key", "ctrl+alt+shift+t" }));
        const QString memoDialog = FindWindow("^Memo - ");
        QVERIFY(!memoDialog.isEmpty());
        QVERIFY(xdotool({ "windowfocus", "--sync", memoDialog }));
        QVERIFY(xdotool({ "type", "--delay", "10", memo }));
        QVERIFY(xdotool({ "key", "Return" }));

        // The first capture's stretch holds the tracking start as well: it is not counted.
        QMap<int, double> memory; // after the first, the 11th ... capture
        QElapsedTimer clock;
        clock.start();
        while (UploadTimes().size() < before + count + 1) {
            QVERIFY2(clock.elapsed() < (count + 10) * 6000, "the captures stopped coming");
            QVERIFY(client.state() == QProcess::Running);
            const int done = UploadTimes().size() - before;
            if (done % 10 == 1 && !memory.contains(done))
                memory.insert(done, ResidentMegabytes(client.processId()));
            QTest::qWait(200);
        }
        const QList<qint64> arrivals = UploadTimes().mid(before);
        QList<double> longest;
        QList<double> own;
        for (int n = 1; n < arrivals.size(); ++n) {
            longest << LongestGap(arrivals.at(n - 1) + 1, arrivals.at(n));
            own << LongestGap(arrivals.at(n - 1) + 1, arrivals.at(n), true);
        }
        const auto share = [](const QList<double>& values, double atLeast) {
            return 100.0 * std::count_if(values.begin(), values.end(), [&](double gap) {
                return gap >= atLeast;
            }) / values.size();
        };
        QStringList each;
        for (double gap : longest)
            each << QString::number(gap, 'f', 0);
        qInfo("longest stall per capture, %d captures: %s, %.0f %% >= 16 ms, %.0f %% >= 60 ms",
            int(longest.size()), qPrintable(Summary(longest)), share(longest, 16),
            share(longest, 60));
        qInfo("each: %s", qPrintable(each.join(' ')));
        qInfo("the same less the system's late wakes: %s, %.0f %% >= 16 ms",
            qPrintable(Summary(own)), share(own, 16));
        if (qEnvironmentVariableIsSet("BENCH_SHOW_GAPS")) {
            // Each gap with the time it ended, to be found in a profile of the client.
            for (const Gap& gap : Gaps())
                qInfo("gap %lld %d", gap.end, gap.length);
            for (const LateWake& wake : LateWakes())
                qInfo("late wake %lld %.1f", wake.end, wake.late);
            for (int n = 1; n < arrivals.size(); ++n) {
                QStringList in;
                for (const Gap& gap : Gaps())
                    if (gap.end > arrivals.at(n - 1) && gap.end <= arrivals.at(n))
                        in << QString("%1@%2").arg(gap.length).arg(gap.end - arrivals.at(n - 1));
                qInfo("capture %d: %s", n, qPrintable(in.join(' ')));
            }
        }
        QStringList resident;
        for (auto it = memory.begin(); it != memory.end(); ++it)
            resident << QString::asprintf("%.1f MB after %d", it.value(), it.key());
        if (memory.contains(1) && memory.contains(31))
            qInfo("client memory: %s (%+.1f MB from the first to the 31st)",
                qPrintable(resident.join(", ")), memory.value(31) - memory.value(1));
    }

    void cleanupTestCase()
    {
        client.terminate();
        if (!client.waitForFinished(10000)) {
            client.kill();
            client.waitForFinished();
        }
        textDesktop.kill();
        textDesktop.waitForFinished();
        if (display)
            XCloseDisplay(display);
    }

private:
    QString GapsFile() const { return gapsDir.filePath("gaps.txt"); }

    static qint64 Now() { return QDateTime::currentMSecsSinceEpoch(); }

    // A probe's notes, one line "msecs_since_epoch value" each.
    static QList<QPair<qint64, double>> Notes(const QString& path)
    {
        QList<QPair<qint64, double>> notes;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return notes;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() == 2)
                notes.append({ fields.at(0).toLongLong(), fields.at(1).toDouble() });
        }
        return notes;
    }

    QList<Gap> Gaps() const
    {
        QList<Gap> gaps;
        for (const auto& note : Notes(GapsFile()))
            gaps.append({ note.first, int(note.second) });
        return gaps;
    }

    QList<LateWake> LateWakes() const
    {
        QList<LateWake> wakes;
        for (const auto& note : Notes(gapsDir.filePath("wakes.txt")))
            wakes.append({ note.first, note.second });
        return wakes;
    }

    // The longest stall that ended in [from, to]; the floor when none was noted. `lessLateWakes`
    // takes from each stall the time the system woke the GUI thread late within it: the thread
    // slept with nothing to do, its timer due, and was not run (a wake ends a millisecond at most
    // before the probe's tick that notes the stall).
    double LongestGap(qint64 from, qint64 to, bool lessLateWakes = false) const
    {
        const QList<LateWake> wakes = lessLateWakes ? LateWakes() : QList<LateWake>();
        double longest = gapFloorMs;
        for (const Gap& gap : Gaps()) {
            if (gap.end < from || gap.end > to)
                continue;
            double length = gap.length;
            for (const LateWake& wake : wakes)
                if (wake.end > gap.end - gap.length && wake.end <= gap.end + 1)
                    length -= wake.late;
            longest = std::max(longest, length);
        }
        return longest;
    }

    // When each upload reached the service, oldest first.
    QList<qint64> UploadTimes() const
    {
        QList<qint64> times;
        const QFileInfoList files
            = QDir(service.RecordDir()).entryInfoList({ "upload-*.json" }, QDir::Files, QDir::Name);
        for (const QFileInfo& file : files)
            times << file.lastModified().toMSecsSinceEpoch();
        return times;
    }

    void DrainEvents()
    {
        XSync(display, False);
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
        }
    }

    // The next top-level window mapped: one as large as the screen when `wholeScreen`, else any
    // other. Notes the time in mappedAt.
    Window WaitForMap(int timeoutMs, bool wholeScreen)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            while (XPending(display)) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type != MapNotify)
                    continue;
                const qint64 at = Now();
                XWindowAttributes attributes;
                if (!XGetWindowAttributes(display, event.xmap.window, &attributes))
                    continue;
                const bool whole = attributes.width == DisplayWidth(display, 0)
                    && attributes.height == DisplayHeight(display, 0);
                if (whole == wholeScreen) {
                    mappedAt = at;
                    return event.xmap.window;
                }
            }
            pollfd socket { ConnectionNumber(display), POLLIN, 0 };
            poll(&socket, 1, 5);
        }
        return 0;
    }

    // The first visible window of the client whose name matches, waiting for it to appear.
    QString FindWindow(const QString& namePattern)
    {
        QProcess search;
        search.start("xdotool",
            { "search", "--all", "--sync", "--onlyvisible", "--pid",
                QString::number(client.processId()), "--name", namePattern });
        if (!search.waitForFinished(15000)) {
            search.kill();
            search.waitForFinished();
            return {};
        }
        return QString::fromLatin1(search.readAllStandardOutput()).split('\n').value(0).trimmed();
    }

    Display* display = nullptr;
    qint64 mappedAt = 0;
    QProcess textDesktop;
    FakeServiceProcess service;
    QTemporaryDir gapsDir;
    QProcess client;
};

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "-textdesktop") == 0)
        return ShowTextDesktop(argc, argv);
    // 150 captures take longer than QtTest's five minutes a test function may last.
    qputenv("QTEST_FUNCTION_TIMEOUT", "3600000");
    QApplication app(argc, argv);
    BenchClientStalls bench;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&bench, argc, argv);
}
#include "bench_clientstalls.moc"
