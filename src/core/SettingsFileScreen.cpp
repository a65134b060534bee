#include "SettingsFileScreen.h"

#include "IniValue.h"
#include "LogCategories.h"
#include "RegularFile.h"

#include <QDataStream>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QMetaType>
#include <QSaveFile>

#include <algorithm>

namespace {

// The reader decodes the whole file as UTF-8, not Latin-1, when it begins with this mark.
const QByteArray utf8Mark = QByteArrayLiteral("\xef\xbb\xbf");

// Where one "key=value" line lies in the file.
struct Line
{
    int start = 0;
    int end = 0;
    int equals = -1;
};

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Splits the file into lines the way the store's own reader does: a line break inside quotes
// or after a backslash does not end a line, a ';' outside quotes starts a comment.
QList<Line> SplitLines(const QByteArray& data)
{
    QList<Line> lines;
    const int size = data.size();
    int pos = 0;
    while (pos < size) {
        Line line;
        line.start = pos;
        while (line.start < size && IsSpace(data.at(line.start)))
            ++line.start;
        bool inQuotes = false;
        int i = line.start;
        while (i < size) {
            const char c = data.at(i++);
            if (c == '=') {
                if (!inQuotes && line.equals < 0)
                    line.equals = i - 1;
            } else if (c == '\n' || c == '\r') {
                if (i == line.start + 1) {
                    ++line.start;
                } else if (!inQuotes) {
                    --i;
                    break;
                }
            } else if (c == '\\') {
                if (i < size) {
                    const char escaped = data.at(i++);
                    if (i < size
                        && ((escaped == '\n' && data.at(i) == '\r')
                            || (escaped == '\r' && data.at(i) == '\n')))
                        ++i;
                }
            } else if (c == '"') {
                inQuotes = !inQuotes;
            } else if (c == ';') {
                if (i == line.start + 1) {
                    while (i < size && data.at(i) != '\n' && data.at(i) != '\r')
                        ++i;
                    while (i < size && IsSpace(data.at(i)))
                        ++i;
                    line.start = i;
                    line.equals = -1;
                } else if (!inQuotes) {
                    --i;
                    break;
                }
            }
        }
        pos = qMax(i, pos + 1);
        line.end = i;
        if (line.equals >= line.start && line.end > line.start && data.at(line.start) != '[')
            lines.append(line);
    }
    return lines;
}

// The kinds the store may hold as a serialized value: fixed-size numbers, dates and texts,
// whose decoding reads no count it would trust, and colours of a known kind.
bool IsPlainVariant(const IniValue::Payload& payload)
{
    QDataStream in(payload.bytes);
    in.setVersion(payload.version);
    quint32 type = 0;
    in >> type;
    // Streams of Qt 4.2 and later flag a null value before the value itself.
    qint8 isNull = 0;
    if (payload.version >= QDataStream::Qt_4_2)
        in >> isNull;
    if (in.status() != QDataStream::Ok)
        return false;
    switch (type) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::QString:
    case QMetaType::QDate:
    case QMetaType::QTime:
        return true;
    case QMetaType::QColor: {
        qint8 spec = -1;
        in >> spec;
        // Invalid, Rgb, Hsv, Cmyk, Hsl and ExtendedRgb.
        return in.status() == QDataStream::Ok && spec >= 0 && spec <= 5;
    }
    default:
        return false;
    }
}

// Whether the store can decode `value` (the raw text after '=') without harm: every serialized
// value the reader will find in it, once unescaped as the reader does, is of a plain kind.
bool IsSafeValue(const QByteArray& value, bool utf8)
{
    const QList<IniValue::Payload> payloads = IniValue::Payloads(IniValue::Unescape(value, utf8));
    return std::all_of(payloads.cbegin(), payloads.cend(), IsPlainVariant);
}

struct Stamp
{
    qint64 size = -1;
    QDateTime modified;
    bool operator==(const Stamp& other) const
    {
        return size == other.size && modified == other.modified;
    }
};

Stamp StampOf(const QFileInfo& info)
{
    return { info.size(), info.lastModified() };
}

} // namespace

namespace SettingsFileScreen {

bool Screen(const QString& path)
{
    // Read afresh for every change of the file, and only then.
    static QHash<QString, Stamp> screened;
    const QFileInfo info(path);
    if (!info.isFile()) {
        screened.remove(path);
        return false;
    }
    if (screened.value(path) == StampOf(info))
        return false;
    QFile file;
    if (!RegularFile::OpenForReading(&file, path))
        return false;
    const QByteArray data = file.readAll();
    file.close();

    const bool utf8 = data.startsWith(utf8Mark);
    QByteArray kept;
    int copied = 0;
    const QList<Line> lines = SplitLines(data);
    for (const Line& line : lines) {
        const QByteArray value = data.mid(line.equals + 1, line.end - line.equals - 1);
        if (IsSafeValue(value, utf8))
            continue;
        qCWarning(settingsScreenLog) << "Preferences: the damaged value of"
                                     << data.mid(line.start, line.equals - line.start).trimmed()
                                     << "is dropped; it reads as its default";
        kept += data.mid(copied, line.start - copied);
        copied = line.end;
    }
    if (copied > 0) {
        kept += data.mid(copied);
        // The replacement keeps the file's user-only mode.
        QSaveFile target(path);
        if (!target.open(QIODevice::WriteOnly) || target.write(kept) != kept.size()
            || !target.commit()) {
            qCWarning(settingsScreenLog)
                << "Preferences: cannot rewrite" << path << target.errorString();
            return false;
        }
    }
    screened.insert(path, StampOf(QFileInfo(path)));
    return copied > 0;
}

} // namespace SettingsFileScreen
