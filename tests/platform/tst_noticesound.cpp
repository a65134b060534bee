#include "NoticeSound.h"
#include "NoticeSoundModule.h"

#include <QFileInfo>
#include <QLibrary>
#include <QtTest>

namespace {

QStringList said;

void Record(QtMsgType, const QMessageLogContext&, const QString& message)
{
    said << message;
}

} // namespace

// The module the client loads at its first sound, with Qt Multimedia behind it.
class TestNoticeSound : public QObject
{
    Q_OBJECT
private slots:
    // Found from the client's folder where the build puts it, it offers what NoticeSound calls,
    // and its question about the sound output keeps the sound system's complaints to itself.
    void theClientFindsItsSoundModule()
    {
        const QString found = NoticeSound::ModulePath(CLIENT_FOLDER);
        QCOMPARE(QFileInfo(found).canonicalFilePath(),
            QFileInfo(SOUND_MODULE_PATH).canonicalFilePath());
        QLibrary module(found);
        QVERIFY2(module.load(), qPrintable(module.errorString()));
        const auto available = reinterpret_cast<NoticeSoundModule::AvailableFunction>(
            module.resolve(NoticeSoundModule::availableName));
        QVERIFY(available);
        QVERIFY(module.resolve(NoticeSoundModule::playName));

        said.clear();
        const QtMessageHandler previous = qInstallMessageHandler(Record);
        available();
        qInstallMessageHandler(previous);
        QVERIFY2(said.isEmpty(), qPrintable(said.join('\n')));
    }
};

QTEST_MAIN(TestNoticeSound)
#include "tst_noticesound.moc"
