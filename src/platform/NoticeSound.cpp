#include "NoticeSound.h"

#include <QAudioDeviceInfo>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

namespace {

Q_LOGGING_CATEGORY(soundLog, "movarelquintash.sound", QtInfoMsg)

void Discard(QtMsgType, const QMessageLogContext&, const QString&) { }

// The sound system's plugins report a missing server with warnings of their own, once for each
// connection they try. The probe's are expected and say nothing a member could act on.
template<typename Action> void Quietly(Action action)
{
    const QtMessageHandler previous = qInstallMessageHandler(Discard);
    action();
    qInstallMessageHandler(previous);
}

QPointer<QSoundEffect> player;

} // namespace

namespace NoticeSound {

bool Available()
{
    static const bool available = [] {
        bool found = false;
        Quietly([&found] { found = !QAudioDeviceInfo::defaultOutputDevice().isNull(); });
        if (!found)
            qCDebug(soundLog) << "No sound output: sounds are skipped";
        return found;
    }();
    return available;
}

void Play(const QUrl& source)
{
    if (!QCoreApplication::instance() || !Available())
        return;
    if (!player)
        Quietly([] { player = new QSoundEffect(QCoreApplication::instance()); });
    // Loads and plays in the background.
    player->setSource(source);
    player->play();
}

} // namespace NoticeSound
