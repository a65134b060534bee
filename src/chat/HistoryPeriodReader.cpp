#include "HistoryPeriodReader.h"

#include "ShownText.h"

#include <algorithm>
#include <utility>

namespace {

// The characters a window lays out for `entry`: the text it shows, the note of a shortened one,
// the name, and the rest of the paragraph ("hh:mm:ss - dd/MM/yyyy - ", ":", three line breaks
// and the paragraph's end).
qint64 ShownSize(const ChatHistory::HistoryEntry& entry)
{
    constexpr int paragraph = 29;
    constexpr int note = 64;
    const bool shortened = entry.omitted > 0 || entry.message.size() > ShownText::maxCharacters;
    return qMin(entry.message.size(), ShownText::maxCharacters) + (shortened ? note : 0)
        + entry.fullName.size() + paragraph;
}

} // namespace

HistoryPeriodReader::HistoryPeriodReader(
    const QString& fileName, ChatHistory::HistoryMode mode, const QDate& today)
    : file(fileName), mode(mode), today(today)
{
    switch (mode) {
    case ChatHistory::HISTORY_LAST_CONVERSATION:
        ended = true;
        return;
    case ChatHistory::HISTORY_LAST_50_MESSAGES:
        messagesLeft = 50;
        break;
    case ChatHistory::HISTORY_TODAY:
        oldest = today;
        break;
    case ChatHistory::HISTORY_LAST_WEEK:
        oldest = today.addDays(-7);
        break;
    case ChatHistory::HISTORY_LAST_30_DAYS:
        oldest = today.addDays(-30);
        break;
    }
    ended = !file.open();
}

QList<ChatHistory::HistoryEntry> HistoryPeriodReader::Older(qint64 characters)
{
    QList<ChatHistory::HistoryEntry> newestFirst;
    qint64 size = 0;
    while (messagesLeft != 0) {
        ChatHistory::HistoryEntry entry;
        if (nextMessage) {
            entry = std::move(*nextMessage);
            nextMessage.reset();
        } else if (!NextMessage(&entry)) {
            break;
        }
        const qint64 entrySize = ShownSize(entry);
        if (!newestFirst.isEmpty() && size + entrySize > characters) {
            nextMessage = std::move(entry);
            break;
        }
        newestFirst.append(std::move(entry));
        size += entrySize;
        if (messagesLeft > 0)
            --messagesLeft;
    }
    std::reverse(newestFirst.begin(), newestFirst.end());
    return newestFirst;
}

bool HistoryPeriodReader::AtEnd() const
{
    return messagesLeft == 0 || (ended && !nextPiece && !nextMessage);
}

bool HistoryPeriodReader::InPeriod(const QDate& date) const
{
    if (mode == ChatHistory::HISTORY_TODAY)
        return date == today;
    // Later days count, so a record stored while the clock was ahead is not lost from view.
    return !oldest.isValid() || date >= oldest;
}

bool HistoryPeriodReader::NextMessage(ChatHistory::HistoryEntry* entry)
{
    QList<HistoryRecord::Piece> kept; // the start of the message read so far, oldest first
    int keptCharacters = 0;
    int omitted = 0;
    int records = 0;
    HistoryRecord::Piece piece;
    while (NextPiece(&piece)) {
        if (records > 0
            && (records == maxRecordsPerMessage
                || !HistoryRecord::Continues(piece, kept.first()))) {
            nextPiece = std::move(piece);
            break;
        }
        ++records;
        keptCharacters += piece.entry.message.size();
        kept.prepend(std::move(piece));
        // Read from its end back, a message keeps only its start: the later pieces give way.
        while (kept.size() > 1
            && keptCharacters - kept.last().entry.message.size() >= ShownText::maxCharacters) {
            keptCharacters -= kept.last().entry.message.size();
            omitted += kept.last().entry.message.size();
            kept.removeLast();
        }
    }
    if (kept.isEmpty())
        return false;
    *entry = HistoryRecord::Join(kept);
    entry->omitted = omitted;
    return true;
}

bool HistoryPeriodReader::NextPiece(HistoryRecord::Piece* piece)
{
    if (nextPiece) {
        *piece = std::move(*nextPiece);
        nextPiece.reset();
        return true;
    }
    while (!ended) {
        const char* record = file.previous();
        if (!record)
            break;
        if (!InPeriod(HistoryRecord::DateOf(record))) {
            // Passed over at the cost of its date: its text is never decoded.
            if (++recordsOutside > maxRecordsOutside)
                break;
            continue;
        }
        recordsOutside = 0;
        if (HistoryRecord::Decode(record, piece))
            return true;
    }
    ended = true;
    return false;
}
