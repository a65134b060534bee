#include "ChatHistory.h"
#include "HistoryPeriodReader.h"
#include "ShownText.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using Entry = ChatHistory::HistoryEntry;

namespace {

constexpr int headerSize = 26;
constexpr int recordSize = 2338;

const QDate today(2026, 3, 6);

// A record as a one-byte-per-character writer makes it, `text` and `name` already in bytes.
QByteArray oneByteRecord(
    int groupID, int contactID, const QDateTime& at, const QByteArray& name, const QByteArray& text)
{
    QByteArray record(recordSize + 1, '\0');
    const QDate d = at.date();
    const QTime t = at.time();
    qsnprintf(record.data(), record.size(), "%10d%10d%02d%02d%04d%02d%02d%02d%255s%2048s%c",
        groupID, contactID, d.day(), d.month(), d.year(), t.hour(), t.minute(), t.second(),
        name.constData(), text.constData(), 2);
    record.chop(1);
    return record;
}

QByteArray oneByteRecord(
    const QByteArray& text, const QDateTime& at = QDateTime(today, QTime(9, 0)))
{
    return oneByteRecord(7, 42, at, "Partner", text);
}

QStringList messagesOf(const QList<Entry>& entries)
{
    QStringList messages;
    for (const Entry& entry : entries)
        messages << entry.message;
    return messages;
}

bool isAligned(const QByteArray& file)
{
    return file.size() >= headerSize && (file.size() - headerSize) % recordSize == 0;
}

} // namespace

class TestChatHistory : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString fileName;

    bool append(const QString& message, const QDateTime& at = QDateTime(today, QTime(9, 0)))
    {
        return ChatHistory::AppendHistory(fileName, Entry(-1, 5, at, "Me", message));
    }
    QStringList readAll() const
    {
        return messagesOf(
            ChatHistory::LoadHistory(fileName, ChatHistory::HISTORY_LAST_50_MESSAGES));
    }
    void writeFile(const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(fileName).path());
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), qint64(bytes.size()));
    }

private slots:
    void init()
    {
        static int n = 0;
        fileName = dir.filePath(QStringLiteral("case%1/history/member7_42.history").arg(++n));
    }

    void recordLayoutIsFixed()
    {
        const QDateTime at(QDate(2026, 3, 6), QTime(9, 5, 7, 500));
        QVERIFY(ChatHistory::AppendHistory(fileName, Entry(-1, 42, at, "Team Member", "Hello")));
        const QByteArray first = ChatHistory::LoadFile(fileName);
        QCOMPARE(first,
            HistoryFileConstants::fileHeader + oneByteRecord(-1, 42, at, "Team Member", "Hello"));
        QCOMPARE(first.mid(headerSize, 10), QByteArray("        -1"));

        QVERIFY(ChatHistory::AppendHistory(fileName, Entry(3, 42, at, "Team Member", "again")));
        QCOMPARE(ChatHistory::LoadFile(fileName).size(), headerSize + 2 * recordSize);
        QVERIFY(ChatHistory::LoadFile(dir.filePath("missing.history")).isEmpty());
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("groupID");
        QTest::addColumn<int>("contactID");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("readBack");

        QTest::newRow("plain") << -1 << 42 << "Team Member"
                               << "Hi"
                               << "Hi";
        QTest::newRow("line breaks") << 7 << 8 << "Ann"
                                     << "one\ntwo\r\n\tthree"
                                     << "one\ntwo\r\n\tthree";
        QTest::newRow("outer white space") << 7 << 8 << "  Ann  "
                                           << "  padded \n"
                                           << "padded";
        QTest::newRow("only spaces") << 7 << 8 << "Ann"
                                     << "    "
                                     << "";
        QTest::newRow("empty") << 7 << 8 << "Ann"
                               << ""
                               << "";
        QTest::newRow("cyrillic") << 1 << 2 << "Иван Петров"
                                  << "Привет, как дела?"
                                  << "Привет, как дела?";
        QTest::newRow("cjk and emoji") << 1 << 2 << "李小龙"
                                       << "你好 😀 ok"
                                       << "你好 😀 ok";
        QTest::newRow("latin-1 letters") << 1 << 2 << "José Müller"
                                         << "Grüße, ça va?"
                                         << "Grüße, ça va?";
        QTest::newRow("widest ids") << -999999999 << 2147483647 << "X"
                                    << "ids"
                                    << "ids";
    }

    void roundTrip()
    {
        QFETCH(int, groupID);
        QFETCH(int, contactID);
        QFETCH(QString, name);
        QFETCH(QString, message);
        QFETCH(QString, readBack);

        const QDateTime at(today, QTime(23, 59, 58, 999));
        QVERIFY(ChatHistory::AppendHistory(fileName, Entry(groupID, contactID, at, name, message)));
        const QList<Entry> entries
            = ChatHistory::LoadHistory(fileName, ChatHistory::HISTORY_TODAY, today);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().groupID, groupID);
        QCOMPARE(entries.first().contactID, contactID);
        QCOMPARE(entries.first().dateTime, QDateTime(today, QTime(23, 59, 58)));
        QCOMPARE(entries.first().fullName, name.trimmed());
        QCOMPARE(entries.first().message, readBack);
        QCOMPARE(ChatHistory::LoadFile(fileName).size(), headerSize + recordSize);
    }

    void unstorableEntriesAreRefused()
    {
        QVERIFY(!ChatHistory::AppendHistory(
            fileName, Entry(-1000000000, 1, QDateTime(today, QTime(1, 0)), "A", "x")));
        QVERIFY(!ChatHistory::AppendHistory(fileName, Entry(1, 1, QDateTime(), "A", "x")));
        QVERIFY(!QFile::exists(fileName));
    }

    void longMessagesStayAligned_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("records");

        QString words;
        while (words.size() < 3000)
            words += QStringLiteral("word%1 ").arg(words.size());
        words = words.left(3000).trimmed();
        QTest::newRow("3000 characters") << words << 2;
        QTest::newRow("two-byte at the split") << QString(2047, 'a') + "é" + QString(999, 'b') << 2;
        QTest::newRow("four-byte at the split") << QString(2046, 'a') + "😀" + QString(10, 'b') << 2;
        QTest::newRow("spaces at the split") << QString(2040, 'a') + "          b" << 2;
        QTest::newRow("line break at the split") << QString(2047, 'a') + "\n\nb" << 2;
        QTest::newRow("three records of cyrillic") << QString(3000, QChar(0x044F)) << 3;
        QTest::newRow("exactly one field") << QString(2048, 'z') << 1;
    }

    void longMessagesStayAligned()
    {
        QFETCH(QString, message);
        QFETCH(int, records);

        QVERIFY(append("before"));
        QVERIFY(append(message));
        QVERIFY(append("after"));
        const QByteArray file = ChatHistory::LoadFile(fileName);
        QCOMPARE(file.size(), headerSize + (records + 2) * recordSize);
        QCOMPARE(readAll(), QStringList({ "before", message, "after" }));
    }

    void longMessagesReadBounded_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<int>>("parts"); // the length of each message it reads back as

        QTest::newRow("as long as is kept")
            << QString(ShownText::maxCharacters, 'k') << QList<int>({ ShownText::maxCharacters });
        QTest::newRow("1 MB without spaces") << QString(1 << 20, 'x') << QList<int>({ 1 << 20 });
        QTest::newRow("100,000 cyrillic letters")
            << QString(100000, QChar(0x044F)) << QList<int>({ 100000 });
        // 1,536 records: the last 1,024 read as one message, the 512 before them as another.
        QTest::newRow("3 MB read as two")
            << QString(3 << 20, 'y') << QList<int>({ 1 << 20, 2 << 20 });
    }

    // Of a long message only its start is read, however long the chain of its records; the
    // file keeps it whole.
    void longMessagesReadBounded()
    {
        QFETCH(QString, message);
        QFETCH(QList<int>, parts);

        QVERIFY(append("before"));
        QVERIFY(append(message));
        QVERIFY(append("after"));
        const QList<Entry> entries
            = ChatHistory::LoadHistory(fileName, ChatHistory::HISTORY_TODAY, today);
        QCOMPARE(entries.size(), parts.size() + 2);
        QCOMPARE(entries.first().message, QString("before"));
        QCOMPARE(entries.last().message, QString("after"));
        int offset = 0;
        for (int i = 0; i < parts.size(); ++i) {
            const Entry& part = entries.at(i + 1);
            QCOMPARE(part.message.size() + part.omitted, parts.at(i));
            QVERIFY(part.message.size() >= qMin(parts.at(i), ShownText::maxCharacters));
            QVERIFY(part.message.size() <= ShownText::maxCharacters + 2048);
            QCOMPARE(part.message, message.mid(offset, part.message.size()));
            offset += parts.at(i);
        }
    }

    void namesAreCutAtCharacterBoundaries()
    {
        const QString name(300, QChar(0x00E9)); // two bytes each
        QVERIFY(ChatHistory::AppendHistory(
            fileName, Entry(1, 2, QDateTime(today, QTime(8, 0)), name, "hi")));
        const QList<Entry> entries
            = ChatHistory::LoadHistory(fileName, ChatHistory::HISTORY_TODAY, today);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().fullName, QString(127, QChar(0x00E9)));
        QCOMPARE(ChatHistory::LoadFile(fileName).size(), headerSize + recordSize);
    }

    void sameSecondMessagesStaySeparate()
    {
        const QString longText = QString(2500, 'l');
        QVERIFY(append(longText));
        QVERIFY(append("short"));
        QVERIFY(append(longText));
        QCOMPARE(readAll(), QStringList({ longText, "short", longText }));
    }

    void damagedFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<bool>("appended");
        QTest::addColumn<QStringList>("after");

        const QByteArray header = HistoryFileConstants::fileHeader;
        const QByteArray a = oneByteRecord("first");
        const QByteArray b = oneByteRecord("second");
        QByteArray badDate = oneByteRecord("bad");
        badDate.replace(20, 8, "32132026");

        QTest::newRow("empty file")
            << QByteArray() << QStringList() << true << QStringList({ "new" });
        QTest::newRow("cut-short header")
            << header.left(11) << QStringList() << true << QStringList({ "new" });
        QTest::newRow("foreign header") << QByteArray("SOMEONE ELSE'S FILE, KEEP IT INTACT")
                                        << QStringList() << false << QStringList();
        QTest::newRow("header only") << header << QStringList() << true << QStringList({ "new" });
        QTest::newRow("cut in the date") << header + a + b.left(25) << QStringList({ "first" })
                                         << true << QStringList({ "first", "new" });
        QTest::newRow("cut in the message") << header + a + b.left(2000) << QStringList({ "first" })
                                            << true << QStringList({ "first", "", "new" });
        QTest::newRow("separator missing")
            << header + a + b.left(recordSize - 1) << QStringList({ "first" }) << true
            << QStringList({ "first", "second", "new" });
        QTest::newRow("invalid date")
            << header + a + badDate + b << QStringList({ "first", "second" }) << true
            << QStringList({ "first", "second", "new" });
        QTest::newRow("zeroed record")
            << header + QByteArray(recordSize, '\0') + b << QStringList({ "second" }) << true
            << QStringList({ "second", "new" });

        // A byte gained or lost costs the record it hit, not every record behind it.
        const QByteArray c = oneByteRecord("third");
        QByteArray gained = b;
        gained.insert(1000, 'x');
        QByteArray lost = b;
        lost.remove(1000, 1);
        QTest::newRow("byte inserted into a record")
            << header + a + gained + c << QStringList({ "first", "third" }) << true
            << QStringList({ "first", "third", "new" });
        QTest::newRow("byte deleted from a record")
            << header + a + lost + c << QStringList({ "first", "third" }) << true
            << QStringList({ "first", "third", "new" });
        QTest::newRow("byte inserted between records")
            << header + a + "x" + b + c << QStringList({ "first", "second", "third" }) << true
            << QStringList({ "first", "second", "third", "new" });
        // The walk back gives up within a bounded stretch of bytes that hold no record.
        QTest::newRow("a megabyte of zeros")
            << header + a + QByteArray(1024 * 1024, '\0') + b << QStringList({ "second" }) << true
            << QStringList({ "second", "new" });
    }

    void damagedFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, before);
        QFETCH(bool, appended);
        QFETCH(QStringList, after);

        writeFile(content);
        QCOMPARE(readAll(), before);
        QCOMPARE(append("new"), appended);
        QCOMPARE(readAll(), after);
        const QByteArray file = ChatHistory::LoadFile(fileName);
        if (appended)
            QVERIFY(isAligned(file));
        else
            QCOMPARE(file, content);
    }

    void aPipeInPlaceOfTheFileIsNeverOpened()
    {
        QDir().mkpath(QFileInfo(fileName).path());
        QCOMPARE(mkfifo(QFile::encodeName(fileName).constData(), 0600), 0);
        QVERIFY(readAll().isEmpty());
        QVERIFY(!append("lost in a pipe"));
    }

    void failedWriteIsRolledBack()
    {
        QVERIFY(append("kept"));
        const QByteArray before = ChatHistory::LoadFile(fileName);

        // The disk takes only part of the records, as when it is full.
        rlimit saved;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = static_cast<rlim_t>(before.size() + 1000);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = append(QString(5000, 'x'));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!written);
        QCOMPARE(ChatHistory::LoadFile(fileName), before);
        QVERIFY(append("next"));
        QCOMPARE(readAll(), QStringList({ "kept", "next" }));
    }

    void filesAreUserOnly()
    {
        const mode_t savedMask = umask(0);
        const bool written = append("private");
        umask(savedMask);
        QVERIFY(written);

        const auto modeOf = [](const QString& path) {
            struct stat st
            {
            };
            return stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0;
        };
        const QFileInfo file(fileName);
        QCOMPARE(modeOf(file.path()), mode_t(0700));
        QCOMPARE(modeOf(QFileInfo(file.path()).path()), mode_t(0700));
        QCOMPARE(modeOf(fileName), mode_t(0600));
    }

    void periods_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<QDateTime>>("written");
        QTest::addColumn<QList<int>>("shown"); // indexes into written

        const auto daysAgo = [](int days, QTime time = QTime(12, 0)) {
            return QDateTime(today.addDays(-days), time);
        };
        QTest::newRow("today from midnight")
            << int(ChatHistory::HISTORY_TODAY)
            << QList<QDateTime>({ daysAgo(1, QTime(23, 59, 59)), daysAgo(0, QTime(0, 0)) })
            << QList<int>({ 1 });
        QTest::newRow("today without tomorrow")
            << int(ChatHistory::HISTORY_TODAY) << QList<QDateTime>({ daysAgo(0), daysAgo(-1) })
            << QList<int>({ 0 });
        QTest::newRow("week: 7 in, 8 out") << int(ChatHistory::HISTORY_LAST_WEEK)
                                           << QList<QDateTime>({ daysAgo(8, QTime(23, 59, 59)),
                                                  daysAgo(7, QTime(0, 0)), daysAgo(-1) })
                                           << QList<int>({ 1, 2 });
        QTest::newRow("30 days: 30 in, 31 out")
            << int(ChatHistory::HISTORY_LAST_30_DAYS)
            << QList<QDateTime>({ daysAgo(31), daysAgo(30) }) << QList<int>({ 1 });
        QTest::newRow("week of 40, 20, 1")
            << int(ChatHistory::HISTORY_LAST_WEEK)
            << QList<QDateTime>({ daysAgo(40), daysAgo(20), daysAgo(1) }) << QList<int>({ 2 });
        QTest::newRow("30 days of 40, 20, 1")
            << int(ChatHistory::HISTORY_LAST_30_DAYS)
            << QList<QDateTime>({ daysAgo(40), daysAgo(20), daysAgo(1) }) << QList<int>({ 1, 2 });
        QTest::newRow("last conversation") << int(ChatHistory::HISTORY_LAST_CONVERSATION)
                                           << QList<QDateTime>({ daysAgo(0) }) << QList<int>();

        // Dates out of order: a message delivered late keeps the time it was sent, a clock set
        // back dates records in the past. Every record of the period is shown all the same.
        QTest::newRow("today, three days ago, today")
            << int(ChatHistory::HISTORY_TODAY)
            << QList<QDateTime>({ daysAgo(0), daysAgo(3), daysAgo(0) }) << QList<int>({ 0, 2 });
        QTest::newRow("today after tomorrow's")
            << int(ChatHistory::HISTORY_TODAY)
            << QList<QDateTime>({ daysAgo(0), daysAgo(-1), daysAgo(0) }) << QList<int>({ 0, 2 });
        QTest::newRow("week around a clock set back")
            << int(ChatHistory::HISTORY_LAST_WEEK)
            << QList<QDateTime>({ daysAgo(9), daysAgo(2), daysAgo(400), daysAgo(400), daysAgo(30),
                   daysAgo(1), daysAgo(45), daysAgo(0) })
            << QList<int>({ 1, 5, 7 });
        QTest::newRow("30 days of 40, 20, 1, delivered late in that order")
            << int(ChatHistory::HISTORY_LAST_30_DAYS)
            << QList<QDateTime>({ daysAgo(1), daysAgo(40), daysAgo(20), daysAgo(60) })
            << QList<int>({ 0, 2 });
        // The read ends after a bounded run of records outside the period.
        const int bound = HistoryPeriodReader::maxRecordsOutside;
        for (const int run : { bound, bound + 1 }) {
            QList<QDateTime> written({ daysAgo(0) });
            for (int i = 0; i < run; ++i)
                written << daysAgo(5);
            written << daysAgo(0);
            QTest::addRow("today behind %d older records", run)
                << int(ChatHistory::HISTORY_TODAY) << written
                << (run > bound ? QList<int>({ run + 1 }) : QList<int>({ 0, run + 1 }));
        }
    }

    void periods()
    {
        QFETCH(int, mode);
        QFETCH(QList<QDateTime>, written);
        QFETCH(QList<int>, shown);

        QStringList expected;
        QByteArray records;
        for (int i = 0; i < written.size(); ++i) {
            records += oneByteRecord(QByteArray::number(i), written.at(i));
            if (shown.contains(i))
                expected << QString::number(i);
        }
        writeFile(HistoryFileConstants::fileHeader + records);
        const auto entries
            = ChatHistory::LoadHistory(fileName, ChatHistory::HistoryMode(mode), today);
        QCOMPARE(messagesOf(entries), expected);
    }

    void todayDefaultsToTheClock()
    {
        QVERIFY(append("now", QDateTime::currentDateTime()));
        QCOMPARE(messagesOf(ChatHistory::LoadHistory(fileName, ChatHistory::HISTORY_TODAY)),
            QStringList({ "now" }));
    }

    void missingFilesReadEmpty()
    {
        for (int mode = ChatHistory::HISTORY_LAST_CONVERSATION;
             mode <= ChatHistory::HISTORY_LAST_30_DAYS; ++mode)
            QVERIFY(ChatHistory::LoadHistory(fileName, ChatHistory::HistoryMode(mode), today)
                        .isEmpty());
    }

    void last50AreTheNewestOldestFirst()
    {
        QStringList sent;
        for (int i = 0; i < 120; ++i) {
            // The oldest message shown spans records; it must come back whole.
            const QString text = i == 70 ? QString(3000, 'L') : QStringLiteral("m%1").arg(i);
            QVERIFY(append(text, QDateTime(today, QTime(10, 0)).addSecs(-i % 3)));
            sent << text;
        }
        QCOMPARE(readAll(), sent.mid(70));
    }

    void oneBytePerCharacterFilesRead()
    {
        writeFile(HistoryFileConstants::fileHeader
            + oneByteRecord(7, 42, QDateTime(today, QTime(9, 0)), QString("José Müller").toLatin1(),
                QString("Grüße, ça va?\nÀ bientôt").toLatin1())
            + oneByteRecord(7, 42, QDateTime(today, QTime(9, 1)), "Ann", "Hi ? there"));
        const QList<Entry> entries
            = ChatHistory::LoadHistory(fileName, ChatHistory::HISTORY_TODAY, today);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries.first().fullName, QString("José Müller"));
        QCOMPARE(entries.first().message, QString("Grüße, ça va?\nÀ bientôt"));
        QCOMPARE(entries.last().message, QString("Hi ? there"));
    }
};

QTEST_GUILESS_MAIN(TestChatHistory)
#include "tst_chathistory.moc"
