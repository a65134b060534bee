#pragma once

#include "ChatHistory.h"

#include <QByteArray>
#include <QList>

// The fixed-width form of history entries. A record holds the author's team room and member
// identifiers as right-aligned decimals (10 bytes each), the date as ddMMyyyy, the time as
// hhmmss, the name (255 bytes) and the message (2048 bytes), both UTF-8, right-aligned and
// padded on the left with spaces, and a last byte that tells whether the message goes on in the
// next record. Files written one byte per character (Latin-1) read the same way.
namespace HistoryRecord {

constexpr int headerSize = 26;
constexpr int size = 2338;
constexpr int nameOffset = 34;
constexpr int nameWidth = 255;
constexpr int messageOffset = nameOffset + nameWidth;
constexpr int messageWidth = 2048;
constexpr int separatorOffset = size - 1;
constexpr char endOfMessage = '\x02';
constexpr char continued = '\x03';

// One record read back: a whole message or one piece of a longer one.
struct Piece
{
    ChatHistory::HistoryEntry entry; // the message holds this piece, its padding removed
    bool continued = false; // the message goes on in the next record
};

// The records of `entry`: one, or several in a row for a message longer than its field. Empty
// when the entry cannot be stored: no valid date, or a year or identifier too wide for its field.
QByteArray Encode(const ChatHistory::HistoryEntry& entry);

// Reads the `size` bytes at `record`. False when the record has no valid date and time.
bool Decode(const char* record, Piece* piece);

// True when the `size` bytes at `record` end a record and hold a valid date and time. Reads no
// text, so a record can be judged or passed over for the cost of its first bytes.
bool IsWhole(const char* record);
// The date of a whole record.
QDate DateOf(const char* record);

// True when `next` is the following piece of the message that `previous` belongs to.
bool Continues(const Piece& previous, const Piece& next);

// The message made of `pieces`, oldest first.
ChatHistory::HistoryEntry Join(const QList<Piece>& pieces);

} // namespace HistoryRecord
