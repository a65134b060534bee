#include "XdoTool.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

// Runs the client itself twice on the test's display and answers the second one's box as a
// user would.
class TestStartup : public QObject
{
    Q_OBJECT
private slots:
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

    // Values that once aborted the start or overflowed the window geometry: the client comes up
    // with its sign-in dialog.
    void startsWithADamagedPreferencesStore()
    {
        const QString store
            = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            + "/movarelquintash.com/Movarelquintash Client.conf";
        QVERIFY(QDir().mkpath(QFileInfo(store).path()));
        QFile file(store);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[General]\nFIRST_RUN=false\n"
                   "POPUP_TIMEOUT=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)\n"
                   "[interface]\nRosterWindowX=2147483647\nRosterWindowWidth=3000000\n"
                   "[appreance]\nGroupCursorBorder=@Variant(\\0\\0\\0\\x43\\t\\xff\\xff\\0"
                   "\\0\\0\\0\\0\\0\\0\\0)\n");
        file.close();

        QProcess client;
        QVERIFY(start(client, ClosedServiceEnvironment()));
        QVERIFY(!findWindow(client.processId(), "^Sign in - ").isEmpty());
        QCOMPARE(client.state(), QProcess::Running);
        client.terminate();
        QVERIFY(client.waitForFinished(10000));
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
        return !box.isEmpty() && !client.waitForFinished(300) // the box waits for its answer
            && xdotool({ "windowfocus", "--sync", box }) && xdotool({ "key", "Return" })
            && client.waitForFinished(10000);
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
