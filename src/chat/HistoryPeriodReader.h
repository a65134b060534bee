#pragma once

#include "ChatHistory.h"
#include "HistoryFileReader.h"
#include "HistoryRecord.h"

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// Reads the messages of one period of a history file from the newest back, a batch at a time,
// so a window can show a long period in steps and a short one costs only what it shows.
//
// Records are appended as messages come and go, but their dates need not be in order: a message
// delivered late keeps the time it was sent, and a clock set back dates records in the past. So
// the reader passes over records outside the period and goes on, and ends only after
// maxRecordsOutside of them in a row (or at the start of the file): every record of the period
// is read unless that many others stand between it and the newer ones.
//
// A long message takes a chain of records. Of a message the reader keeps the text of its start
// (ShownText::maxCharacters at least) and counts the rest (HistoryEntry::omitted), and it joins
// at most maxRecordsPerMessage records: a longer chain reads as several messages.
class HistoryPeriodReader
{
public:
    static constexpr int maxRecordsOutside = 1024; // about 2.4 MB of file
    static constexpr int maxRecordsPerMessage = 1024; // 2 MB of text

    // Nothing to read for HISTORY_LAST_CONVERSATION or a missing, unreadable or foreign file.
    HistoryPeriodReader(const QString& fileName, ChatHistory::HistoryMode mode, const QDate& today);

    // The next older messages of the period, in file order: none once AtEnd(), else at least
    // one, and no more than `characters` of text (counted as a window shows it) unless the
    // first message alone holds more.
    QList<ChatHistory::HistoryEntry> Older(qint64 characters);
    bool AtEnd() const;

private:
    bool InPeriod(const QDate& date) const;
    // The next older message of the period; false when there is none.
    bool NextMessage(ChatHistory::HistoryEntry* entry);
    // The next older record of the period, decoded; false at the end of the period.
    bool NextPiece(HistoryRecord::Piece* piece);

    HistoryFileReader file;
    ChatHistory::HistoryMode mode;
    QDate today;
    QDate oldest; // the first day of the period; invalid for the last 50 messages
    int messagesLeft = -1; // of the last 50; -1 when the period sets no count
    int recordsOutside = 0; // outside the period, in a row
    bool ended = false; // nothing more to read from the file
    std::optional<HistoryRecord::Piece> nextPiece; // read, and the first of the next message
    std::optional<ChatHistory::HistoryEntry> nextMessage; // read, and too long for the last batch
};
