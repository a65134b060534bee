#include "NoticeSoundModule.h"

#include <QAudioDeviceInfo>
#include <QCoreApplication>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

#include <type_traits>

namespace {

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

extern "C" Q_DECL_EXPORT bool movarelquintash_notice_sound_available()
{
    bool found = false;
    Quietly([&found] { found = !QAudioDeviceInfo::defaultOutputDevice().isNull(); });
    return found;
}

extern "C" Q_DECL_EXPORT void movarelquintash_notice_sound_play(const QUrl& source)
{
    if (!player)
        Quietly([] { player = new QSoundEffect(QCoreApplication::instance()); });
    // Loads and plays in the background.
    player->setSource(source);
    player->play();
}

// NoticeSound calls them through these types.
static_assert(std::is_same_v<decltype(&movarelquintash_notice_sound_available),
    NoticeSoundModule::AvailableFunction>);
static_assert(
    std::is_same_v<decltype(&movarelquintash_notice_sound_play), NoticeSoundModule::PlayFunction>);
