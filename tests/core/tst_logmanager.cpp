#include "FileMode.h"
#include "LogManager.h"
#include "NotAFile.h"
#include "SerialWorker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <memory>

namespace {

QByteArray readAll(const QString& path)
{
    LogManager::Flush();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLogManager : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        dir.reset(new QTemporaryDir);
        QVERIFY(dir->isValid());
        path = dir->filePath("Movarelquintash Client.log");
    }

    void lineFormat()
    {
        QCOMPARE(LogManager::FormatLine(QDateTime(QDate(2026, 3, 6), QTime(9, 5, 7)), "Hello"),
            QString("[06-03-2026][09:05:07] - Action: Hello\r\n"));
        QCOMPARE(LogManager::FormatLine(QDateTime(QDate(987, 12, 31), QTime(23, 59, 0)), ""),
            QString("[31-12-0987][23:59:00] - Action: \r\n"));
    }

    void writtenLinesMatchTheFormat()
    {
        LogManager log;
        log.SetLogPath(path);
        const QDateTime before = QDateTime::currentDateTime();
        log.AddToLog(LogManager::LOG_SIGNED_IN, "someone");
        log.AddToLog(LogManager::LOG_TEXT, "Start window resize event");
        const QDateTime after = QDateTime::currentDateTime();

        const QByteArray content = readAll(path);
        const QList<QByteArray> lines = content.split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[2].isEmpty());
        const QRegularExpression pattern(
            "^\\[(\\d\\d-\\d\\d-\\d{4})\\]\\[(\\d\\d:\\d\\d:\\d\\d)\\] - Action: (.*)\r$");
        const auto first = pattern.match(QString::fromUtf8(lines[0]));
        QVERIFY2(first.hasMatch(), lines[0].constData());
        QCOMPARE(first.captured(3), QString("Signed in: someone"));
        const QDateTime stamp = QDateTime::fromString(
            first.captured(1) + ' ' + first.captured(2), "dd-MM-yyyy hh:mm:ss");
        QVERIFY(stamp >= before.addMSecs(-before.time().msec()) && stamp <= after);
        QCOMPARE(pattern.match(QString::fromUtf8(lines[1])).captured(3),
            QString("Start window resize event"));
    }

    void actionTexts_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("start") << 99 << QVariant() << "Application started Platform: Linux";
        QTest::newRow("quit") << 100 << QVariant("ignored") << "Application quit";
        QTest::newRow("signed in") << 101 << QVariant("bob") << "Signed in: bob";
        QTest::newRow("sign-in error")
            << 103 << QVariant("bob") << "Sign-in error! Login name: bob";
        QTest::newRow("server") << 104 << QVariant("api") << "Connect to server: api";
        QTest::newRow("groups") << 110 << QVariant(3) << "Get groups. Total groups: 3";
        QTest::newRow("users") << 111 << QVariant(12) << "Get users. Total users: 12";
        QTest::newRow("start tracking")
            << 112 << QVariant("Acme") << "Time tracking is started. Company: Acme";
        QTest::newRow("stop tracking")
            << 113 << QVariant("Acme") << "Time tracking is stopped. Company: Acme";
        QTest::newRow("status") << 115 << QVariant("Online") << "User status was changed: Online";
        QTest::newRow("screensaver") << 118 << QVariant() << "Tracking time stopped by screensaver";
        QTest::newRow("roster") << 121 << QVariant() << "Roster is recieved";
        QTest::newRow("upload") << 124 << QVariant() << "Upload user screenshot";
        QTest::newRow("free text") << 0 << QVariant("Reset working time") << "Reset working time";
        QTest::newRow("unnamed number") << 7 << QVariant("Some step - ok") << "Some step - ok";
    }

    void actionTexts()
    {
        QFETCH(int, action);
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QCOMPARE(LogManager::ActionText(LogManager::LOG_ACTION(action), value), text);
    }

    // A caller goes on while the log thread is held (as by a slow disk), and the lines of the
    // activity log and of the REST trace reach their files in the order they were given.
    void callersGoOnAndLinesKeepTheirOrder()
    {
        LogManager log;
        log.SetLogPath(path);
        const QString trace = dir->filePath("restApiLog.log");
        QByteArray logWhenTraced;
        LogManager::Writes().Hold();
        // Let go and written on every way out: the lines left would wait for ever at the exit,
        // and the trace's line reads this test's variables.
        const std::unique_ptr<SerialWorker, void (*)(SerialWorker*)> held(
            &LogManager::Writes(), [](SerialWorker* writes) {
                writes->Release();
                writes->WaitForIdle();
            });
        log.AddToLog(LogManager::LOG_TEXT, "first");
        LogManager::AppendLater(trace, [&] {
            QFile file(path);
            logWhenTraced = file.open(QIODevice::ReadOnly) ? file.readAll() : "unreadable";
            return QByteArray("second password=secret\r\n");
        });
        log.AddToLog(LogManager::LOG_TEXT, "third");
        QVERIFY(!QFile::exists(path));
        QVERIFY(!QFile::exists(trace));
        LogManager::Writes().Release();

        const QList<QByteArray> lines = readAll(path).split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines.at(0).endsWith("] - Action: first\r"));
        QVERIFY(lines.at(1).endsWith("] - Action: third\r"));
        QVERIFY(logWhenTraced.endsWith("Action: first\r\n"));
        QCOMPARE(readAll(trace), QByteArray("second password=secret\r\n"));
    }

    void startWritesTheStartLine()
    {
        LogManager log;
        log.SetLogPath(path);
        log.SetLogsEnabled(false);
        log.StartLog();
        QVERIFY(log.IsLogsEnabled());
        QVERIFY(readAll(path).endsWith("] - Action: Application started Platform: Linux\r\n"));
    }

    void nothingIsWrittenWhenOffOrWithoutPath()
    {
        LogManager log;
        log.AddToLog(LogManager::LOG_TEXT, "no path yet");
        log.SetLogPath(path);
        log.SetLogsEnabled(false);
        QVERIFY(!log.IsLogsEnabled());
        log.AddToLog(LogManager::LOG_APPLICATION_QUIT);
        QVERIFY(!QFile::exists(path));
        log.SetLogsEnabled(true);
        log.AddToLog(LogManager::LOG_APPLICATION_QUIT);
        QVERIFY(readAll(path).endsWith("Application quit\r\n"));
    }

    void sizeLimitEmptiesTheFile()
    {
        LogManager log;
        log.SetLogPath(path);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(1024 * 1024, 'x'));
        }
        // Exactly at the limit is not past it.
        log.SetLimitSize(1);
        log.AddToLog(LogManager::LOG_TEXT, "kept");
        LogManager::Flush();
        QVERIFY(QFileInfo(path).size() > 1024 * 1024);
        log.AddToLog(LogManager::LOG_TEXT, "after the limit");
        const QByteArray content = readAll(path);
        QCOMPARE(content.count('\n'), 1);
        QVERIFY(content.endsWith("Action: after the limit\r\n"));

        // No limit: the file only grows.
        log.SetLimitSize(0);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::Append));
            file.write(QByteArray(2 * 1024 * 1024, 'y'));
        }
        log.AddToLog(LogManager::LOG_TEXT, "unlimited");
        QVERIFY(QFileInfo(path).size() > 2 * 1024 * 1024);
    }

    void missingFolderIsMadeUserOnly()
    {
        const QString nested = dir->filePath("a/b/c/activity.log");
        LogManager log;
        log.SetLogPath(nested);
        log.AddToLog(LogManager::LOG_TEXT, "hello");
        QVERIFY(readAll(nested).endsWith("hello\r\n"));
        QCOMPARE(fileMode(nested), 0600);
        for (const char* folder : { "a", "a/b", "a/b/c" })
            QCOMPARE(fileMode(dir->filePath(folder)), 0700);
    }

    void unwritablePathIsIgnored()
    {
        const QString blocker = dir->filePath("file");
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        LogManager log;
        log.SetLogPath(blocker + "/inside/activity.log");
        log.AddToLog(LogManager::LOG_TEXT, "nowhere to go");
        QVERIFY(QFileInfo(blocker).isFile());
    }

    void secretsAreMasked()
    {
        const QString digest = "5f4dcc3b5aa765d61d8327deb882cf99";
        QCOMPARE(LogManager::Redact("login=bob&password=hunter2&os=Linux"),
            QString("login=bob&password=***&os=Linux"));
        QCOMPARE(
            LogManager::Redact("member_id=7&hash_key=abc123"), QString("member_id=7&hash_key=***"));
        QCOMPARE(LogManager::Redact("<hash_key>abc123</hash_key><name>x</name>"),
            QString("<hash_key>***</hash_key><name>x</name>"));
        QCOMPARE(LogManager::Redact("digest " + digest + " sent"), QString("digest *** sent"));
        QCOMPARE(LogManager::Redact("Time tracking is started. Company: Acme"),
            QString("Time tracking is started. Company: Acme"));

        LogManager log;
        log.SetLogPath(path);
        log.AddToLog(LogManager::LOG_TEXT, "POST /k4p/auth/login:var login=bob&password=" + digest);
        const QByteArray content = readAll(path);
        QVERIFY(!content.contains(digest.toLatin1()));
        QVERIFY(content.contains("login=bob&password=***"));
    }

    // The file stays open between lines; whatever happens to it in between, the next line
    // lands in the file at the log path.
    void theNextLineFollowsThePath_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QByteArray>("before"); // the line at the path before the next one
        QTest::newRow("nothing") << "" << QByteArray("Action: first\r");
        QTest::newRow("moved away") << "move" << QByteArray();
        QTest::newRow("deleted") << "delete" << QByteArray();
        QTest::newRow("replaced") << "replace" << QByteArray("someone else's");
        QTest::newRow("emptied in place") << "truncate" << QByteArray();
        QTest::newRow("switched off and on") << "switch" << QByteArray("Action: first\r");
    }

    void theNextLineFollowsThePath()
    {
        QFETCH(QString, change);
        QFETCH(QByteArray, before);
        LogManager log;
        log.SetLogPath(path);
        log.AddToLog(LogManager::LOG_TEXT, "first");
        LogManager::Flush();
        QCOMPARE(openDescriptorsOf(path), 1);
        const QString aside = path + ".1";
        if (change == "move") {
            QVERIFY(QFile::rename(path, aside));
        } else if (change == "delete") {
            QVERIFY(QFile::remove(path));
        } else if (change == "replace") {
            QFile other(aside);
            QVERIFY(other.open(QIODevice::WriteOnly));
            other.write("someone else's\n");
            other.close();
            QVERIFY(::rename(QFile::encodeName(aside), QFile::encodeName(path)) == 0);
        } else if (change == "truncate") {
            QVERIFY(QFile::resize(path, 0));
        } else if (change == "switch") {
            log.SetLogsEnabled(false);
            LogManager::Flush();
            QCOMPARE(openDescriptorsOf(path), 0);
            log.SetLogsEnabled(true);
        }

        log.AddToLog(LogManager::LOG_TEXT, "second");
        const QList<QByteArray> lines = readAll(path).split('\n');
        QCOMPARE(lines.size(), before.isEmpty() ? 2 : 3);
        QVERIFY(lines.first().endsWith(before));
        QVERIFY(lines.at(lines.size() - 2).endsWith("] - Action: second\r"));
        if (change == "move")
            QVERIFY(readAll(aside).endsWith("first\r\n"));
        QCOMPARE(openDescriptorsOf(path), 1);
    }

    // A pipe at a log's path would block the open until someone reads it, that is for good:
    // whatever is there that is not a regular file is set aside once, and a new log begun.
    void logsThatAreNotFilesAreSetAside_data()
    {
        QTest::addColumn<bool>("trace"); // the REST trace, else the activity log
        QTest::addColumn<QString>("kind");
        for (const bool trace : { false, true }) {
            for (const char* kind : { "pipe", "folder", "link to a pipe", "socket" }) {
                const QString name = QStringLiteral("%1, %2").arg(
                    trace ? QStringLiteral("REST trace") : QStringLiteral("activity log"), kind);
                QTest::newRow(qPrintable(name)) << trace << QString(kind);
            }
        }
    }

    void logsThatAreNotFilesAreSetAside()
    {
        QFETCH(bool, trace);
        QFETCH(QString, kind);
        QVERIFY(MakeNotAFile(path, kind));
        {
            const Deadline deadline(QTest::currentDataTag(), 10);
            LogManager log;
            log.SetLogPath(path);
            for (const char* text : { "first", "second" }) {
                if (trace)
                    QVERIFY(LogManager::AppendToFile(path, QByteArray(text) + "\r\n"));
                else
                    log.AddToLog(LogManager::LOG_TEXT, text);
            }
            LogManager::Flush();
        }
        QVERIFY(QFileInfo(path).isFile() && !QFileInfo(path).isSymLink());
        QCOMPARE(fileMode(path), 0600);
        QCOMPARE(readAll(path).count("first\r\n"), 1);
        QVERIFY(readAll(path).endsWith("second\r\n"));
        QCOMPARE(SetAsideBeside(path).size(), 1);
    }

    void logFolderIsAbsoluteAndWritable_data()
    {
        QTest::addColumn<QString>("stored"); // "<dir>" stands for a folder of the test's
        QTest::addColumn<bool>("used");
        QTest::newRow("a folder of the member's") << "<dir>" << true;
        QTest::newRow("relative") << "logs" << false;
        QTest::newRow("escaping upwards") << "../../../x" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("missing") << "<dir>/gone" << false;
        QTest::newRow("a file") << "<dir>/file" << false;
        QTest::newRow("not writable") << "<dir>/read-only" << false;
    }

    void logFolderIsAbsoluteAndWritable()
    {
        QFETCH(QString, stored);
        QFETCH(bool, used);
        QFile file(dir->filePath("file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray readOnly = QFile::encodeName(dir->filePath("read-only"));
        QVERIFY(::mkdir(readOnly.constData(), 0500) == 0);
        if (stored.endsWith("read-only") && ::access(readOnly.constData(), W_OK) == 0)
            QSKIP("this user may write to any folder");
        stored.replace("<dir>", dir->path());
        const QString fallback = "/the/default";
        QCOMPARE(LogManager::UsableFolder(stored, fallback), used ? stored : fallback);
    }

private:
    // Descriptors of this process open on the file now at `file`.
    static int openDescriptorsOf(const QString& file)
    {
        const QString target = QFileInfo(file).canonicalFilePath();
        int count = 0;
        const QDir descriptors("/proc/self/fd");
        const QStringList links = descriptors.entryList(QDir::AllEntries | QDir::System);
        for (const QString& link : links)
            if (!target.isEmpty() && QFile::symLinkTarget(descriptors.filePath(link)) == target)
                ++count;
        return count;
    }

    QScopedPointer<QTemporaryDir> dir;
    QString path;
};

QTEST_GUILESS_MAIN(TestLogManager)
#include "tst_logmanager.moc"
