#include "NoticeSound.h"

#include "InstallLayout.h"
#include "LogCategories.h"
#include "NoticeSoundModule.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QLoggingCategory>
#include <QUrl>

namespace {

struct Module
{
    NoticeSoundModule::AvailableFunction available = nullptr;
    NoticeSoundModule::PlayFunction play = nullptr;
};

// The sound module, loaded at the first sound and kept for the whole run; empty when it cannot
// be loaded.
const Module& SoundModule()
{
    static const Module module = [] {
        if (!QCoreApplication::instance())
            return Module();
        QLibrary library(NoticeSound::ModulePath(QCoreApplication::applicationDirPath()));
        if (!library.load()) {
            qCDebug(soundLog) << "No sound module:" << library.errorString();
            return Module();
        }
        Module loaded;
        loaded.available = reinterpret_cast<NoticeSoundModule::AvailableFunction>(
            library.resolve(NoticeSoundModule::availableName));
        loaded.play = reinterpret_cast<NoticeSoundModule::PlayFunction>(
            library.resolve(NoticeSoundModule::playName));
        if (!loaded.available || !loaded.play) {
            qCDebug(soundLog) << "The sound module" << library.fileName() << "lacks its functions";
            return Module();
        }
        return loaded;
    }();
    return module;
}

} // namespace

namespace NoticeSound {

QString ModulePath(const QString& programFolder)
{
    return programFolder + QLatin1Char('/') + QLatin1String(MOVARELQUINTASH_MODULES_FROM_BINDIR)
        + QLatin1Char('/') + QLatin1String(NoticeSoundModule::fileName);
}

bool Available()
{
    static const bool available = [] {
        const Module& module = SoundModule();
        const bool found = module.available && module.available();
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
    SoundModule().play(source);
}

} // namespace NoticeSound
