#pragma once

#include <QString>

class QUrl;

// The client's sounds: the notice popup's and the preferences' preview. Whether this desktop can
// play sound is asked once per process; without a sound server every sound is skipped quietly.
// One player serves them all, since each new player connects to the sound server again (and,
// when there is none, complains on the terminal every time). The player and Qt Multimedia come
// with a module loaded at the first sound (NoticeSoundModule.h), not with the program.
namespace NoticeSound {

// Plays the sound at source once, without waiting for it; nothing when no sound can play.
void Play(const QUrl& source);

// Whether sounds play here. The first call asks the sound system, keeping its complaints about a
// missing server off the terminal; later calls give the same answer.
bool Available();

// The sound module of a program in `programFolder`, installed or built.
QString ModulePath(const QString& programFolder);

} // namespace NoticeSound
