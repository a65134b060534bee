#include "ChatHistory.h"
#include "HistoryRecord.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Reading the periods of a large history file: 100,000 one-record messages, ten minutes apart,
// the newest at 18:00 of the day the periods count back from (234 MB).
class BenchChatHistory : public QObject
{
    Q_OBJECT

private:
    static constexpr int recordCount = 100000;
    const QDate day { 2026, 3, 6 };
    const QDateTime newest { day, QTime(18, 0) };
    QTemporaryDir dir;
    QString fileName;

    void load(ChatHistory::HistoryMode mode, const QDate& day, int expected)
    {
        QCOMPARE(ChatHistory::LoadHistory(fileName, mode, day).size(), expected);
        QBENCHMARK
        {
            ChatHistory::LoadHistory(fileName, mode, day);
        }
    }

private slots:
    void initTestCase()
    {
        fileName = dir.filePath("member7_42.history");
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(HistoryFileConstants::fileHeader) == HistoryRecord::headerSize);
        const QStringList words = { "build", "ready", "review", "ок", "merci", "ticket", "deploy",
            "größer", "then", "we", "can", "ship", "it" };
        QByteArray chunk;
        for (int i = recordCount - 1; i >= 0; --i) {
            QString text;
            for (int w = 0; w < 3 + i % 25; ++w)
                text += words.at((i + w * 7) % words.size()) + ' ';
            const bool mine = i % 3 == 0;
            chunk += HistoryRecord::Encode(ChatHistory::HistoryEntry(mine ? -1 : 12, mine ? 5 : 42,
                newest.addSecs(-600LL * i), mine ? "Me Myself" : "Partner Name", text));
            if (chunk.size() > (8 << 20) || i == 0) {
                QVERIFY(file.write(chunk) == chunk.size());
                chunk.clear();
            }
        }
        file.close();
        QCOMPARE(QFileInfo(fileName).size(),
            qint64(HistoryRecord::headerSize) + qint64(recordCount) * HistoryRecord::size);
    }

    void last50Messages() { load(ChatHistory::HISTORY_LAST_50_MESSAGES, day, 50); }

    void todayMessages() { load(ChatHistory::HISTORY_TODAY, day, 18 * 6 + 1); }

    void lastWeek() { load(ChatHistory::HISTORY_LAST_WEEK, day, 7 * 144 + 18 * 6 + 1); }

    void last30Days() { load(ChatHistory::HISTORY_LAST_30_DAYS, day, 30 * 144 + 18 * 6 + 1); }

    // Every record is within 30 days of the oldest one's date plus 30, or after it.
    void fullScan()
    {
        const QDate oldest = newest.addSecs(-600LL * (recordCount - 1)).date();
        load(ChatHistory::HISTORY_LAST_30_DAYS, oldest.addDays(30), recordCount);
    }
};

QTEST_GUILESS_MAIN(BenchChatHistory)
#include "bench_chathistory.moc"
