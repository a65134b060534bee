#include "ChatHistory.h"

#include "HistoryPeriodReader.h"
#include "HistoryRecord.h"
#include "LogCategories.h"
#include "RegularFile.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <sys/stat.h>

namespace {

// Creates `folder` and its missing parents, each readable by the user alone.
bool makeUserOnlyFolder(const QString& folder)
{
    if (QFileInfo(folder).isDir())
        return true;
    const int slash = folder.lastIndexOf(QLatin1Char('/'));
    if (slash > 0 && !makeUserOnlyFolder(folder.left(slash)))
        return false;
    if (::mkdir(QFile::encodeName(folder).constData(), S_IRWXU) != 0 && errno != EEXIST)
        return false;
    return QFileInfo(folder).isDir();
}

// What must precede new records in a file of `size` bytes that starts with `start`: the rest
// of a new or cut-short header, and the rest of a cut-short last record. False for a file that
// is not a history file.
bool bytesBeforeNewRecords(const QByteArray& start, qint64 size, QByteArray* fill)
{
    const QByteArray& header = HistoryFileConstants::fileHeader;
    if (size < HistoryRecord::headerSize) {
        if (!header.startsWith(start))
            return false;
        *fill = header.mid(start.size());
        return true;
    }
    if (start != header)
        return false;
    const qint64 partial = (size - HistoryRecord::headerSize) % HistoryRecord::size;
    if (partial > 0) {
        // Completing the record, rather than cutting it, keeps every byte already written.
        *fill = QByteArray(static_cast<int>(HistoryRecord::size - partial - 1), ' ');
        fill->append(HistoryRecord::endOfMessage);
    }
    return true;
}

} // namespace

ChatHistory::HistoryEntry::HistoryEntry(int groupID, int contactID, const QDateTime& dateTime,
    const QString& fullName, const QString& message)
    : groupID(groupID), contactID(contactID), dateTime(dateTime), fullName(fullName),
      message(message)
{ }

bool ChatHistory::AppendHistory(const QString& fileName, const HistoryEntry& entry)
{
    const QByteArray records = HistoryRecord::Encode(entry);
    if (records.isEmpty()) {
        qCWarning(chatHistoryLog) << "Chat message not stored: no valid date or identifiers"
                                  << fileName;
        return false;
    }
    const int slash = fileName.lastIndexOf(QLatin1Char('/'));
    if (slash > 0 && !makeUserOnlyFolder(fileName.left(slash))) {
        qCWarning(chatHistoryLog) << "Cannot create the chat history folder for" << fileName;
        return false;
    }

    QFile file;
    if (!RegularFile::OpenForAppending(&file, fileName)) {
        qCWarning(chatHistoryLog) << "Cannot open the chat history file" << fileName;
        return false;
    }

    const qint64 size = file.size();
    QByteArray data;
    if (!bytesBeforeNewRecords(file.read(HistoryRecord::headerSize), size, &data)) {
        qCWarning(chatHistoryLog) << "Not a chat history file, message not stored:" << fileName;
        return false;
    }
    data += records;
    // One write, so another writer's record never lands inside this one.
    if (file.write(data) != data.size()) {
        qCWarning(chatHistoryLog) << "Writing the chat history failed:" << fileName
                                  << file.errorString();
        file.resize(size);
        return false;
    }
    return true;
}

QList<ChatHistory::HistoryEntry> ChatHistory::LoadHistory(const QString& fileName, HistoryMode mode)
{
    return LoadHistory(fileName, mode, QDate::currentDate());
}

QList<ChatHistory::HistoryEntry> ChatHistory::LoadHistory(
    const QString& fileName, HistoryMode mode, const QDate& today)
{
    return HistoryPeriodReader(fileName, mode, today).Older(std::numeric_limits<qint64>::max());
}

QByteArray ChatHistory::LoadFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QList<ChatHistory::HistoryEntry> ChatHistory::GetLastMessages(QList<HistoryEntry> list, int count)
{
    if (count <= 0)
        return {};
    return list.mid(qMax(0, list.size() - count));
}

QList<ChatHistory::HistoryEntry> ChatHistory::GetLastMessages(
    QList<HistoryEntry> list, const QDate& date)
{
    list.erase(std::remove_if(list.begin(), list.end(),
                   [&date](const HistoryEntry& entry) { return entry.dateTime.date() != date; }),
        list.end());
    return list;
}

QList<ChatHistory::HistoryEntry> ChatHistory::GetLastMessages(
    QList<HistoryEntry> list, const QDate& today, int days)
{
    list.erase(std::remove_if(list.begin(), list.end(),
                   [&today, days](const HistoryEntry& entry) {
                       return entry.dateTime.date().daysTo(today) > days;
                   }),
        list.end());
    return list;
}
