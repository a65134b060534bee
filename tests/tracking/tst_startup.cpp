#include "AppInfo.h"
#include "SingleApplication.h"
#include "XdoTool.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <functional>

#include <sys/stat.h>

// Runs the client itself twice on the test's display and answers the second one's box as a
// user would.
class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    // Every start finds the throwaway home as a first start does.
    void init()
    {
        for (const auto location : { QStandardPaths::GenericConfigLocation,
                 QStandardPaths::GenericDataLocation, QStandardPaths::RuntimeLocation }) {
            const QDir folder(QStandardPaths::writableLocation(location));
            const QFileInfoList entries = folder.entryInfoList(
                QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
            for (const QFileInfo& entry : entries) {
                if (entry.isDir() && !entry.isSymLink())
                    QVERIFY(QDir(entry.filePath()).removeRecursively());
                else
                    QVERIFY(QFile::remove(entry.filePath()));
            }
        }
    }

    void secondInstanceSaysSoAndLeavesWithMinusOne()
    {
        const QProcessEnvironment environment = ClosedServiceEnvironment();

        QProcess first;
        QVERIFY(start(first, environment));
        // The first instance is up once its sign-in dialog is.
        QVERIFY(!findWindow(first.processId(), "^Sign in - ").isEmpty());

        QProcess second;
        QVERIFY(start(second, environment));
        QVERIFY(answerTheBox(second));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 255); // -1 as the shell sees it

        // The running instance is untouched.
        QCOMPARE(first.state(), QProcess::Running);
        first.terminate();
        QVERIFY(first.waitForFinished(10000));
    }

    // Values that once aborted the start or overflowed the window geometry, also spelt with the
    // escapes the store's reader resolves: the client comes up with its sign-in dialog, and the
    // store keeps only what reads safely.
    void startsWithADamagedPreferencesStore_data()
    {
        QTest::addColumn<QByteArray>("general"); // lines under [General]
        const QByteArray count = "\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)";
        QTest::newRow("serialized") << "POPUP_TIMEOUT=@Variant(" + count;
        QTest::newRow("@ as a hex escape") << "POPUP_TIMEOUT=\\x40Variant(" + count;
        QTest::newRow("@ as an octal escape") << "POPUP_TIMEOUT=\\100Variant(" + count;
        QTest::newRow("escaped, inside a list") << "STOP_REMINDER_TYPE=1, \\x40Variant(" + count;
    }

    void startsWithADamagedPreferencesStore()
    {
        QFETCH(QByteArray, general);
        const QString store = StorePath();
        QVERIFY(QDir().mkpath(QFileInfo(store).path()));
        QFile file(store);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[General]\nFIRST_RUN=false\n" + general
            + "\n[interface]\nRosterWindowX=2147483647\nRosterWindowWidth=3000000\n"
              "[appreance]\nGroupCursorBorder=@Variant(\\0\\0\\0\\x43\\t\\xff\\xff\\0"
              "\\0\\0\\0\\0\\0\\0\\0)\n");
        file.close();

        StartsToItsSignInDialog();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray kept = file.readAll();
        QVERIFY2(!kept.contains("ariant") && !kept.contains("x40V") && !kept.contains("100V"),
            kept.constData());
        QVERIFY(kept.contains("FIRST_RUN=false"));
    }

    // A pipe in place of a file the client opens at start would block the open for good, a
    // folder in place of a lock would look held for ever: set aside, the client starts.
    void startsWithSomethingElseAtItsFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("pipe"); // else a folder
        const QString store = StorePath();
        const QString log = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + "/Movarelquintash Client.log";
        QTest::newRow("preferences, a pipe") << store << true;
        QTest::newRow("preferences, a folder") << store << false;
        QTest::newRow("preferences' lock, a pipe") << store + ".lock" << true;
        QTest::newRow("preferences' lock, a folder") << store + ".lock" << false;
        QTest::newRow("activity log, a pipe") << log << true;
        QTest::newRow("single-instance lock, a pipe")
            << SingleApplication::LockFilePath(AppInfo::applicationId) << true;
    }

    void startsWithSomethingElseAtItsFiles()
    {
        QFETCH(QString, path);
        QFETCH(bool, pipe);
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QVERIFY(
            pipe ? ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 : QDir().mkpath(path));
        const QFileInfo info(path);
        const auto setAside = [&info] {
            return QDir(info.path())
                .entryList({ info.fileName() + ".not-a-file-*" },
                    QDir::AllEntries | QDir::System | QDir::Hidden)
                .size();
        };
        // The activity log is opened with the window built behind the dialog, a moment later.
        StartsToItsSignInDialog([&setAside] { return setAside() > 0; });
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!QFileInfo::exists(path) || QFileInfo(path).isFile());
        QCOMPARE(setAside(), 1);
    }

    // The password digest and the session key must not travel in clear: an http service is
    // refused with a message before anything is sent.
    void refusesAServiceThatIsNotHttps()
    {
        QProcessEnvironment environment = ClosedServiceEnvironment();
        environment.insert("MOVARELQUINTASH_API_URL", "http://127.0.0.1:9");
        QProcess client;
        QVERIFY(start(client, environment));
        QVERIFY(answerTheBox(client));
        QCOMPARE(client.exitCode(), 1);
        const QString said = QString::fromLocal8Bit(client.readAllStandardError());
        QVERIFY2(
            said.contains("MOVARELQUINTASH_API_URL") && said.contains("https"), qPrintable(said));
    }

private:
    static QString StorePath()
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            + "/movarelquintash.com/Movarelquintash Client.conf";
    }

    // Terminates the client once its sign-in dialog is up and `done` holds.
    static void StartsToItsSignInDialog(const std::function<bool()>& done = [] { return true; })
    {
        QProcess client;
        QVERIFY(start(client, ClosedServiceEnvironment()));
        QVERIFY(!findWindow(client.processId(), "^Sign in - ").isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(done(), 10000);
        QCOMPARE(client.state(), QProcess::Running);
        client.terminate();
        QVERIFY(client.waitForFinished(10000));
    }

    static bool start(QProcess& client, const QProcessEnvironment& environment)
    {
        client.setProcessEnvironment(environment);
        client.start(CLIENT_PATH, QStringList());
        return client.waitForStarted();
    }

    // Answers the client's message box with Return, as a user would; true once it has ended.
    static bool answerTheBox(QProcess& client)
    {
        const QString box = findWindow(client.processId(), "^Movarelquintash Client$");
        if (box.isEmpty()) {
            qWarning("no box of the client's appeared");
            return false;
        }
        if (client.waitForFinished(300)) { // the box waits for its answer
            qWarning("the client left without waiting for its box's answer");
            return false;
        }
        if (!xdotool({ "windowfocus", "--sync", box }) || !xdotool({ "key", "Return" })) {
            qWarning("the box could not be answered");
            return false;
        }
        if (!client.waitForFinished(10000)) {
            qWarning("the client is still running after its box was answered");
            return false;
        }
        return true;
    }

    // Nothing may leave the machine: the service is a closed local port.
    static QProcessEnvironment ClosedServiceEnvironment()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MOVARELQUINTASH_API_URL", "https://127.0.0.1:9");
        environment.insert("MOVARELQUINTASH_CHAT_HOST", "127.0.0.1");
        return environment;
    }

    // The id of the first window of the process whose name matches, waiting for it to appear.
    static QString findWindow(qint64 pid, const QString& namePattern)
    {
        QProcess search;
        search.start("xdotool",
            { "search", "--sync", "--onlyvisible", "--pid", QString::number(pid), "--name",
                namePattern });
        if (!search.waitForFinished(15000)) {
            search.kill();
            search.waitForFinished();
            return {};
        }
        return QString::fromLatin1(search.readAllStandardOutput()).split('\n').value(0).trimmed();
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
