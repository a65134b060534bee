#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

namespace HistoryFileConstants {
// The magic at the start of every history file.
inline const QByteArray fileHeader = QByteArrayLiteral("MOVARELQUINTASHHISTORYFILE");
} // namespace HistoryFileConstants

// The chat history of one partner: a file of fixed-width records, one message each (a long
// message takes several consecutive records), appended in the order messages come and go.
// Holds no state: every call opens the file, does its work and closes it again.
class ChatHistory
{
public:
    // The part of a file a chat window shows.
    enum HistoryMode
    {
        HISTORY_LAST_CONVERSATION = 0, // nothing from the file
        HISTORY_LAST_50_MESSAGES = 1, // the newest 50, oldest first
        HISTORY_TODAY = 2,
        HISTORY_LAST_WEEK = 3, // at most 7 days old
        HISTORY_LAST_30_DAYS = 4 // at most 30 days old
    };

    // One message as stored and shown.
    struct HistoryEntry
    {
        HistoryEntry() = default;
        HistoryEntry(int groupID, int contactID, const QDateTime& dateTime, const QString& fullName,
            const QString& message);

        int groupID = -1; // the author's team room; -1 for the signed-in member
        int contactID = -1; // the author's member identifier
        QDateTime dateTime; // local time, whole seconds in the file
        QString fullName; // the author's shown name
        QString message; // plain text, line breaks included
        // Read back from a file: the characters of a long message after `message`, counted but
        // not read (see HistoryPeriodReader).
        int omitted = 0;
    };

    // Appends one message, creating the folder (user-only) and the file when missing. Returns
    // false, leaving the file as it was, when the message cannot be written: the file is not a
    // history file, the disk refuses the write, or the entry has no storable date or
    // identifiers.
    static bool AppendHistory(const QString& fileName, const HistoryEntry& entry);

    // The messages of `mode` in file order, read from the end of the file back (see
    // HistoryPeriodReader). A missing, empty or foreign file reads as an empty list.
    static QList<HistoryEntry> LoadHistory(const QString& fileName, HistoryMode mode);
    // As above, with the periods counted back from `today` instead of the current date.
    static QList<HistoryEntry> LoadHistory(
        const QString& fileName, HistoryMode mode, const QDate& today);

    // The whole file; empty when it is missing or unreadable.
    static QByteArray LoadFile(const QString& fileName);

    // The last `count` entries of `list`, in its order.
    static QList<HistoryEntry> GetLastMessages(QList<HistoryEntry> list, int count);
    // The entries dated `date`.
    static QList<HistoryEntry> GetLastMessages(QList<HistoryEntry> list, const QDate& date);
    // The entries at most `days` days older than `today` (later ones included).
    static QList<HistoryEntry> GetLastMessages(
        QList<HistoryEntry> list, const QDate& today, int days);
};
