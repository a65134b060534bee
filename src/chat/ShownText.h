#pragma once

#include <QString>

// What one chat message may occupy on screen. A text view lays a message out whole, and the
// cost grows faster than its length: a line without a space to break at costs the square of its
// length, a character carrying thousands of combining marks costs more than a page of text. The
// view therefore shows the start of a long message and says how long the message is; the whole
// text stays in the history file.
namespace ShownText {

// The characters of a message shown in a chat window (a few milliseconds of layout at most).
constexpr int maxCharacters = 16 * 1024;
// The characters of a message shown in a tray notice, which is a glance.
constexpr int maxNoticeCharacters = 256;
// Combining marks shown on one character; writing systems stack a handful at most.
constexpr int maxMarksPerCharacter = 32;

// `text` as shown: at most `limit` characters from its start, a character's two UTF-16 halves
// never parted, and no character with more than maxMarksPerCharacter marks. When anything is
// left out, a line "… (message shortened, N characters)" follows, N being the length of the
// whole message: `text` and the `omitted` characters of it that were never read.
QString Of(const QString& text, int omitted = 0, int limit = maxCharacters);

} // namespace ShownText
