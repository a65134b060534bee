#pragma once

class QUrl;

// What the sound module (notice-sound.so, built from NoticeSoundModule.cpp) offers NoticeSound,
// by these names: Qt Multimedia and the sound system's libraries come with it.
namespace NoticeSoundModule {

// Whether the desktop has a sound output, asked quietly.
using AvailableFunction = bool (*)();
// Plays the sound at the source once, through the module's one player.
using PlayFunction = void (*)(const QUrl& source);

inline constexpr char fileName[] = "notice-sound.so";
inline constexpr char availableName[] = "movarelquintash_notice_sound_available";
inline constexpr char playName[] = "movarelquintash_notice_sound_play";

} // namespace NoticeSoundModule
