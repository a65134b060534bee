#include "HistoryRecord.h"

#include <QTextCodec>

namespace {

constexpr int idWidth = 10;
constexpr int dateOffset = 2 * idWidth;

bool isContinuationByte(char byte)
{
    return (static_cast<uchar>(byte) & 0xC0) == 0x80;
}

// The longest start of `text` of at most `width` bytes that ends on a character boundary.
QByteArray cutToWidth(const QByteArray& text, int width)
{
    if (text.size() <= width)
        return text;
    int cut = width;
    while (cut > 0 && isContinuationByte(text.at(cut)))
        --cut;
    return text.left(cut);
}

// Splits a message into pieces that fit the message field, cut on character boundaries. A
// piece after the first never starts with a space, so the reader can tell padding from text;
// only a run of spaces longer than a whole field is shortened.
QList<QByteArray> splitMessage(const QByteArray& text)
{
    QList<QByteArray> pieces;
    int start = 0;
    while (text.size() - start > HistoryRecord::messageWidth) {
        int cut = start + HistoryRecord::messageWidth;
        while (isContinuationByte(text.at(cut)))
            --cut;
        int split = cut;
        while (split > start && (text.at(split) == ' ' || isContinuationByte(text.at(split))))
            --split;
        if (split == start)
            split = cut;
        pieces.append(text.mid(start, split - start));
        start = split;
    }
    pieces.append(text.mid(start));
    return pieces;
}

QByteArray utf8WithoutZeros(QString text)
{
    // A zero byte would end the field for the reader.
    return text.remove(QChar(0)).toUtf8();
}

// UTF-8 when the bytes are valid UTF-8, else one byte per character as older files hold them.
QString decodeText(const char* data, int length)
{
    bool ascii = true;
    for (int i = 0; i < length && ascii; ++i)
        ascii = static_cast<uchar>(data[i]) < 0x80;
    if (ascii)
        return QString::fromLatin1(data, length);
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString text = QTextCodec::codecForMib(106)->toUnicode(data, length, &state);
    if (state.invalidChars == 0 && state.remainingChars == 0)
        return text;
    return QString::fromLatin1(data, length);
}

// The bytes of a text field up to its first zero byte, without the left padding.
QString fieldText(const char* field, int width)
{
    const int length = static_cast<int>(qstrnlen(field, static_cast<uint>(width)));
    int start = 0;
    while (start < length && field[start] == ' ')
        ++start;
    return decodeText(field + start, length - start);
}

// Decimal digits only; false for anything else.
bool readDigits(const char* data, int count, int* value)
{
    int result = 0;
    for (int i = 0; i < count; ++i) {
        if (data[i] < '0' || data[i] > '9')
            return false;
        result = result * 10 + (data[i] - '0');
    }
    *value = result;
    return true;
}

// A right-aligned identifier; text that is not a number reads as 0.
int readId(const char* data)
{
    return QByteArray::fromRawData(data, idWidth).trimmed().toInt();
}

struct Stamp
{
    int day, month, year, hour, minute, second;
};

// The date and time fields; false when they are not digits or name no real day and time.
bool readStamp(const char* data, Stamp* stamp)
{
    return readDigits(data, 2, &stamp->day) && readDigits(data + 2, 2, &stamp->month)
        && readDigits(data + 4, 4, &stamp->year) && readDigits(data + 8, 2, &stamp->hour)
        && readDigits(data + 10, 2, &stamp->minute) && readDigits(data + 12, 2, &stamp->second)
        && QDate::isValid(stamp->year, stamp->month, stamp->day)
        && QTime::isValid(stamp->hour, stamp->minute, stamp->second);
}

QDateTime readDateTime(const char* data)
{
    Stamp stamp;
    if (!readStamp(data, &stamp))
        return {};
    return QDateTime(QDate(stamp.year, stamp.month, stamp.day),
        QTime(stamp.hour, stamp.minute, stamp.second), Qt::LocalTime);
}

} // namespace

namespace HistoryRecord {

QByteArray Encode(const ChatHistory::HistoryEntry& entry)
{
    if (!entry.dateTime.isValid())
        return {};
    const QDateTime local = entry.dateTime.toLocalTime();
    const QDate date = local.date();
    const QTime time = local.time();
    const QByteArray group = QByteArray::number(entry.groupID);
    const QByteArray contact = QByteArray::number(entry.contactID);
    if (date.year() < 1 || date.year() > 9999 || group.size() > idWidth || contact.size() > idWidth)
        return {};

    const QByteArray head = group.rightJustified(idWidth) + contact.rightJustified(idWidth)
        + QString::asprintf("%02d%02d%04d%02d%02d%02d", date.day(), date.month(), date.year(),
            time.hour(), time.minute(), time.second())
              .toLatin1()
        + cutToWidth(utf8WithoutZeros(entry.fullName), nameWidth).rightJustified(nameWidth);

    const QList<QByteArray> pieces = splitMessage(utf8WithoutZeros(entry.message));
    QByteArray records;
    records.reserve(pieces.size() * size);
    for (int i = 0; i < pieces.size(); ++i) {
        records += head;
        records += pieces.at(i).rightJustified(messageWidth);
        records += i + 1 < pieces.size() ? continued : endOfMessage;
    }
    return records;
}

bool Decode(const char* record, Piece* piece)
{
    const QDateTime dateTime = readDateTime(record + dateOffset);
    if (!dateTime.isValid())
        return false;
    piece->entry = ChatHistory::HistoryEntry(readId(record), readId(record + idWidth), dateTime,
        fieldText(record + nameOffset, nameWidth).trimmed(),
        fieldText(record + messageOffset, messageWidth));
    piece->continued = record[separatorOffset] == continued;
    return true;
}

bool IsWhole(const char* record)
{
    const char last = record[separatorOffset];
    Stamp stamp;
    return (last == endOfMessage || last == continued) && readStamp(record + dateOffset, &stamp);
}

QDate DateOf(const char* record)
{
    Stamp stamp;
    if (!readStamp(record + dateOffset, &stamp))
        return {};
    return QDate(stamp.year, stamp.month, stamp.day);
}

bool Continues(const Piece& previous, const Piece& next)
{
    return previous.continued && previous.entry.groupID == next.entry.groupID
        && previous.entry.contactID == next.entry.contactID
        && previous.entry.dateTime == next.entry.dateTime;
}

ChatHistory::HistoryEntry Join(const QList<Piece>& pieces)
{
    ChatHistory::HistoryEntry entry = pieces.first().entry;
    for (int i = 1; i < pieces.size(); ++i)
        entry.message += pieces.at(i).entry.message;
    entry.message = entry.message.trimmed();
    return entry;
}

} // namespace HistoryRecord
