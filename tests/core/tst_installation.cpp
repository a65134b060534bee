#include "AppInfo.h"
#include "AutostartEntry.h"
#include "InstallLayout.h"
#include "NotAFile.h"

#include <QDir>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString sourceResources = QStringLiteral(TEST_SOURCE_DIR "/src/resources");

// Creates an empty file, with its folders.
void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

QString readEntry()
{
    QFile file(AutostartEntry::FilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeEntry(const QString& text)
{
    touch(AutostartEntry::FilePath());
    QFile file(AutostartEntry::FilePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

} // namespace

class TestInstallation : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(root.isValid());
        // A prefix as `cmake --install` lays it out, and a build folder beside it.
        installed = root.filePath("prefix/bin/movarelquintash-client");
        touch(installed);
        touch(QFileInfo(installed).path() + "/" MOVARELQUINTASH_LAUNCHER_FROM_BINDIR);
        built = root.filePath("build/src/movarelquintash-client");
        touch(built);
    }

    void init() { QVERIFY(AutostartEntry::Remove()); }

    // The desktop ties a window to its launcher by StartupWMClass and finds the icon by name;
    // both must match what the client really sets and installs.
    void launcherEntryMatchesTheClient()
    {
        QSettings launcher(
            sourceResources + "/movarelquintash-client.desktop", QSettings::IniFormat);
        launcher.beginGroup("Desktop Entry");
        QCOMPARE(launcher.value("StartupWMClass").toString(), AppInfo::applicationName);
        QCOMPARE(launcher.value("Name").toString(), AppInfo::applicationName);
        QCOMPARE(launcher.value("Exec").toString(), QString("movarelquintash-client"));
        QCOMPARE(launcher.value("Icon").toString(), QString("movarelquintash-client"));
        QCOMPARE(QStringLiteral(MOVARELQUINTASH_LAUNCHER_FROM_BINDIR).section('/', -1),
            QString("movarelquintash-client.desktop"));
    }

    void applicationIconIsDrawnAtEveryThemeSize()
    {
        for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
            const QString path = QString("%1/icons/hicolor/%2x%2/apps/movarelquintash-client.png")
                                     .arg(sourceResources)
                                     .arg(size);
            const QImage icon(path);
            QVERIFY2(!icon.isNull(), qPrintable(path));
            QCOMPARE(icon.size(), QSize(size, size));
            // A tile on a transparent ground: see-through corners, a solid middle.
            QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
        }
    }

    void onlyTheProgramBesideItsLauncherIsInstalled_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("isInstalled");
        QTest::newRow("installed") << installed << true;
        QTest::newRow("build folder") << built << false;
        QTest::newRow("other program in the prefix") << root.filePath("prefix/bin/other") << false;
        QTest::newRow("relative path") << QString("movarelquintash-client") << false;
    }

    void onlyTheProgramBesideItsLauncherIsInstalled()
    {
        QFETCH(QString, path);
        QFETCH(bool, isInstalled);
        QCOMPARE(AutostartEntry::IsInstalledProgram(path), isInstalled);
    }

    void entryNamesTheProgramAndItsThemeIconOnlyWhenInstalled()
    {
        QVERIFY(AutostartEntry::Install(installed));
        QString text = readEntry();
        QVERIFY(text.contains("\nExec=" + AutostartEntry::ExecLine(installed) + "\n"));
        QVERIFY(text.contains("\nIcon=movarelquintash-client\n"));

        QVERIFY(AutostartEntry::Install(built));
        text = readEntry();
        QVERIFY(text.contains("\nExec=" + AutostartEntry::ExecLine(built) + "\n"));
        QVERIFY(!text.contains("Icon="));
    }

    void refreshPointsAnEntryAtTheInstalledProgramOnly_data()
    {
        QTest::addColumn<QString>("running");
        QTest::addColumn<QString>("entryBefore");
        QTest::addColumn<QString>("entryAfter");
        const QString oldEntry = "[Desktop Entry]\nType=Application\nExec=\"/gone/client\"\n"
                                 "X-GNOME-Autostart-enabled=false\n";
        const QString movedEntry
            = QString(oldEntry).replace("\"/gone/client\"", AutostartEntry::ExecLine(installed));
        QTest::newRow("installed, old place: command follows, the rest is kept")
            << installed << oldEntry << movedEntry;
        QTest::newRow("installed, already named: untouched")
            << installed << movedEntry << movedEntry;
        QTest::newRow("installed, no entry: none made") << installed << QString() << QString();
        QTest::newRow("build folder: the member's entry is left alone")
            << built << oldEntry << oldEntry;
        QTest::newRow("build folder, no entry: none made") << built << QString() << QString();
    }

    void refreshPointsAnEntryAtTheInstalledProgramOnly()
    {
        QFETCH(QString, running);
        QFETCH(QString, entryBefore);
        QFETCH(QString, entryAfter);
        if (!entryBefore.isEmpty())
            writeEntry(entryBefore);
        QVERIFY(AutostartEntry::Refresh(running));
        QCOMPARE(AutostartEntry::IsInstalled(), !entryAfter.isEmpty());
        QCOMPARE(readEntry(), entryAfter);
    }

    // A pipe would block the start for good; whatever is not a file is the member's business.
    void refreshLeavesAnEntryThatIsNotAFile_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : { "pipe", "folder", "link to a pipe" })
            QTest::newRow(kind) << QString(kind);
    }

    void refreshLeavesAnEntryThatIsNotAFile()
    {
        QFETCH(QString, kind);
        const QString entry = AutostartEntry::FilePath();
        QVERIFY(MakeNotAFile(entry, kind));
        {
            const Deadline deadline(QTest::currentDataTag(), 10);
            QVERIFY(AutostartEntry::Refresh(installed));
        }
        QVERIFY(!QFileInfo(entry).isFile());
        QVERIFY(QDir(entry).removeRecursively() || QFile::remove(entry));
    }

private:
    QTemporaryDir root;
    QString installed;
    QString built;
};

QTEST_GUILESS_MAIN(TestInstallation)
#include "tst_installation.moc"
