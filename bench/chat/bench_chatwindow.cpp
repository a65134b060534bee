#include "ChatWindowDialog.h"
#include "GapMeter.h"
#include "HistoryWriter.h"

#include <QDir>
#include <QLabel>
#include <QTextEdit>
#include <QtTest>

// The chat window as a member meets it, on a display: the longest time its GUI thread is kept
// from its events (GapMeter) when "Last 30 days" is chosen on a month of 4,320 messages, when a
// window opens on ten 1 MB messages without spaces, and when a 1 MB message comes into an open
// window; and how long until the whole period is shown. The figures agree with the stall probe
// in the real client (bench/chat/probe-chatwindow). Run:
//   tests/run-isolated --x11 build-bench/bench/chat/bench_chatwindow
class BenchChatWindow : public QObject
{
    Q_OBJECT

private:
    static constexpr int runs = 10;
    RosterManager::ROSTER_ITEM me = Member(-1, 1001, "Demo Member", "demo");
    RosterManager::ROSTER_ITEM anna = Member(11, 1002, "Anna Kovalenko", "anna.k");
    RosterManager::ROSTER_ITEM bruno = Member(11, 1003, "Bruno Martins", "bruno.m");
    GapMeter meter;

    static RosterManager::ROSTER_ITEM Member(
        int groupID, int contactID, const char* fullName, const char* userName)
    {
        RosterManager::ROSTER_ITEM item;
        item.groupID = groupID;
        item.contactID = contactID;
        item.fullName = fullName;
        item.userName = userName;
        return item;
    }

    static bool WriteHistory(const RosterManager::ROSTER_ITEM& partner, int count, int length)
    {
        const QString file = ChatWindowDialog::GetHisotryFileNameForCurrentChat(partner);
        return QDir().mkpath(QFileInfo(file).path())
            && HistoryWriter::Write(file, count, length, partner.contactID, partner.fullName);
    }

    static void Choose(ChatWindowDialog& window, const QString& link)
    {
        emit window.findChild<QLabel*>("historyModeSwitcher")->linkActivated(link);
    }

    // Lets the event loop run, without a sleep of the thread, until the window shows its whole
    // period, then a while longer for the paints; the milliseconds until it was whole.
    static double WaitUntilShown(ChatWindowDialog& window)
    {
        QElapsedTimer clock;
        clock.start();
        QEventLoop loop;
        QTimer poll;
        double whole = -1;
        connect(&poll, &QTimer::timeout, &loop, [&] {
            if (whole < 0 && !window.IsLoadingHistory())
                whole = clock.nsecsElapsed() / 1e6;
            if (whole >= 0 && clock.elapsed() > whole + 200)
                loop.quit();
        });
        poll.start(1);
        loop.exec();
        return whole;
    }

    static void Report(const char* what, const QList<double>& stalls, const QList<double>& whole)
    {
        const auto [low, high] = std::minmax_element(stalls.begin(), stalls.end());
        qInfo("%s: longest stall %.1f ms median [%.1f-%.1f] over %d runs; all shown after %.0f ms "
              "median",
            what, Median(stalls), *low, *high, int(stalls.size()), Median(whole));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(WriteHistory(anna, 4320, 0));
        QVERIFY(WriteHistory(bruno, 10, 1 << 20));
    }

    void lastThirtyDays()
    {
        ChatWindowDialog window;
        QVERIFY(window.showChatWithUser(nullptr, me, anna, QString()));
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QList<double> stalls, whole;
        for (int run = 0; run < runs; ++run) {
            Choose(window, ChatConstants::todayMessages);
            WaitUntilShown(window);
            meter.Start();
            Choose(window, ChatConstants::last30days);
            whole << WaitUntilShown(window);
            stalls << meter.Stop();
        }
        QCOMPARE(window.findChild<QTextEdit*>("chatText")->toPlainText().count(" - Anna "), 2880);
        Report("Last 30 days, 4,320 messages", stalls, whole);
    }

    void openOnTenLongMessages()
    {
        QList<double> stalls, whole;
        for (int run = 0; run < runs; ++run) {
            auto* window = new ChatWindowDialog;
            meter.Start();
            QVERIFY(window->showChatWithUser(nullptr, me, bruno, QString()));
            whole << WaitUntilShown(*window);
            stalls << meter.Stop();
            window->close();
            QTest::qWait(50);
        }
        Report("Opening on ten 1 MB messages", stalls, whole);
    }

    void longMessageComes()
    {
        ChatWindowDialog window;
        QVERIFY(window.showChatWithUser(nullptr, me, anna, QString()));
        Choose(window, ChatConstants::last30days);
        WaitUntilShown(window);
        const QString text = HistoryWriter::TextOf(1, 1 << 20);
        QList<double> stalls, whole;
        for (int run = 0; run < runs; ++run) {
            meter.Start();
            window.OnMessageRecieved("anna.k@localhost/QXmpp", text);
            whole << WaitUntilShown(window);
            stalls << meter.Stop();
        }
        Report("A 1 MB message comes, a month shown", stalls, whole);
    }
};

QTEST_MAIN(BenchChatWindow)
#include "bench_chatwindow.moc"
