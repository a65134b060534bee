#include "OfflineStorage.h"

#include "AppInfo.h"

#include <QDataStream>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QByteArray fileMagic = QByteArrayLiteral("OFFLINESTORAGE");
const QByteArray recordMagic = QByteArrayLiteral("IMGHDR");
constexpr quint16 formatVersion = 1;
constexpr qint64 fileHeaderSize = 14 + 2;
constexpr qint64 recordHeaderSize = 6 + 4 + 4;
// Bounds that no real record reaches; a head beyond them is damage, not a record.
constexpr quint32 maxFieldsSize = 1024 * 1024;
constexpr quint32 maxImageSize = 256 * 1024 * 1024;

const QString dateFormat = QStringLiteral("yyyy-MM-dd");
const QString timeFormat = QStringLiteral("HH:mm:ss.zzz");

void WriteText(QDataStream& out, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    out << quint32(utf8.size());
    out.writeRawData(utf8.constData(), utf8.size());
}

QString ReadText(QDataStream& in)
{
    quint32 size = 0;
    in >> size;
    if (in.status() != QDataStream::Ok || size > maxFieldsSize) {
        in.setStatus(QDataStream::ReadCorruptData);
        return {};
    }
    QByteArray utf8(int(size), Qt::Uninitialized);
    if (in.readRawData(utf8.data(), int(size)) != int(size)) {
        in.setStatus(QDataStream::ReadPastEnd);
        return {};
    }
    return QString::fromUtf8(utf8);
}

QByteArray EncodeFields(const ScreenshotRecord& shot)
{
    QByteArray fields;
    QDataStream out(&fields, QIODevice::WriteOnly);
    out << qint32(shot.memberId) << qint32(shot.companyId) << qint32(shot.keyStrokes)
        << qint32(shot.mouseClicks);
    WriteText(out, shot.date.isValid() ? shot.date.toString(dateFormat) : QString());
    WriteText(out, shot.time.isValid() ? shot.time.toString(timeFormat) : QString());
    WriteText(out, shot.workingTime.isValid() ? shot.workingTime.toString(timeFormat) : QString());
    WriteText(out, shot.memo);
    WriteText(out, shot.activeWindow);
    return fields;
}

bool DecodeFields(const QByteArray& fields, ScreenshotRecord* shot)
{
    QDataStream in(fields);
    qint32 memberId = 0;
    qint32 companyId = 0;
    qint32 keyStrokes = 0;
    qint32 mouseClicks = 0;
    in >> memberId >> companyId >> keyStrokes >> mouseClicks;
    const QString date = ReadText(in);
    const QString time = ReadText(in);
    const QString workingTime = ReadText(in);
    shot->memo = ReadText(in);
    shot->activeWindow = ReadText(in);
    shot->memberId = memberId;
    shot->companyId = companyId;
    shot->keyStrokes = keyStrokes;
    shot->mouseClicks = mouseClicks;
    shot->date = QDate::fromString(date, dateFormat);
    shot->time = QTime::fromString(time, timeFormat);
    shot->workingTime = QTime::fromString(workingTime, timeFormat);
    return in.status() == QDataStream::Ok;
}

QByteArray EncodeRecord(const ScreenshotRecord& shot)
{
    const QByteArray fields = EncodeFields(shot);
    QByteArray head;
    QDataStream out(&head, QIODevice::WriteOnly);
    out.writeRawData(recordMagic.constData(), recordMagic.size());
    out << quint32(fields.size()) << quint32(shot.image.size());
    return head + fields;
}

bool SameCapture(const ScreenshotRecord& a, const ScreenshotRecord& b)
{
    return a.memberId == b.memberId && a.companyId == b.companyId && a.keyStrokes == b.keyStrokes
        && a.mouseClicks == b.mouseClicks && a.date == b.date && a.time == b.time
        && a.workingTime == b.workingTime && a.memo == b.memo && a.activeWindow == b.activeWindow;
}

} // namespace

OfflineStorage::OfflineStorage(QObject* parent)
    : QObject(parent), storagePath(AppInfo::dataFolder() + QStringLiteral("/data/storage.bin"))
{
    connect(&api, &RestAPI::ApiDataOk, this, [this](RestAPI::ApiState state) {
        if (uploading && state == RestAPI::ScreenshotUpload)
            OnUploaded();
    });
    connect(&api, &RestAPI::ApiDataError, this, [this] {
        if (uploading)
            OnUploadFailed();
    });
}

void OfflineStorage::SetStoragePath(const QString& path)
{
    storagePath = path;
}

QString OfflineStorage::StoragePath() const
{
    return storagePath;
}

void OfflineStorage::SetSecurityInfo(const RestAPI::SecurityUserInfo& info)
{
    api.SetApiSecurityInfo(info);
}

bool OfflineStorage::AddToStorage(const ScreenshotRecord& shot)
{
    QList<Entry> entries;
    const FileState state = Scan(&entries, false);
    if (state == FileState::Unreadable)
        return false;
    if (entries.size() >= maxItems) {
        qWarning() << "Offline cache is full; capture dropped";
        return false;
    }
    ScreenshotRecord stamped = shot;
    if (stamped.memberId < 1 && api.IsLoggedIn())
        stamped.memberId = api.GetCurrentUserInfo().memberId;
    return Rewrite(state, entries, &stamped);
}

QList<ScreenshotRecord> OfflineStorage::GetOfflineStorage()
{
    storageList.clear();
    QList<Entry> entries;
    if (Scan(&entries, true) != FileState::Ours)
        return storageList;
    QFile file(storagePath);
    if (!file.open(QIODevice::ReadOnly))
        return storageList;
    for (Entry& entry : entries) {
        entry.shot.image = ReadImage(file, entry);
        storageList.append(entry.shot);
    }
    return storageList;
}

int OfflineStorage::GetTotalStorageItems()
{
    QList<Entry> entries;
    Scan(&entries, false);
    return entries.size();
}

bool OfflineStorage::GetCacheIsFree()
{
    return GetTotalStorageItems() < maxItems;
}

void OfflineStorage::UploadOfflineStorage()
{
    if (uploading || !api.IsLoggedIn())
        return;
    uploading = true;
    UploadNext();
}

bool OfflineStorage::IsUploading() const
{
    return uploading;
}

// Reads every whole record from the start; a record cut short or damaged ends the list, and
// the whole records before it are kept.
OfflineStorage::FileState OfflineStorage::Scan(QList<Entry>* entries, bool withFields) const
{
    entries->clear();
    QFile file(storagePath);
    if (!file.exists())
        return FileState::Missing;
    // Unbuffered: counting reads 14 bytes per record, not a buffer's worth of picture.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        qWarning() << "Cannot read the offline cache" << storagePath << file.errorString();
        return FileState::Unreadable;
    }
    const qint64 fileSize = file.size();
    if (fileSize == 0)
        return FileState::Missing;
    QDataStream in(&file);
    QByteArray magic(fileMagic.size(), Qt::Uninitialized);
    quint16 version = 0;
    in.readRawData(magic.data(), magic.size());
    in >> version;
    if (in.status() != QDataStream::Ok || magic != fileMagic || version != formatVersion)
        return FileState::Foreign;

    qint64 offset = fileHeaderSize;
    while (offset + recordHeaderSize <= fileSize) {
        file.seek(offset);
        QByteArray tag(recordMagic.size(), Qt::Uninitialized);
        quint32 fieldsSize = 0;
        quint32 imageSize = 0;
        in.readRawData(tag.data(), tag.size());
        in >> fieldsSize >> imageSize;
        if (in.status() != QDataStream::Ok || tag != recordMagic || fieldsSize > maxFieldsSize
            || imageSize > maxImageSize)
            break;
        Entry entry;
        entry.offset = offset;
        entry.imageOffset = offset + recordHeaderSize + fieldsSize;
        entry.imageSize = imageSize;
        entry.size = recordHeaderSize + fieldsSize + imageSize;
        if (offset + entry.size > fileSize)
            break;
        if (withFields && !DecodeFields(file.read(fieldsSize), &entry.shot))
            break;
        entries->append(entry);
        offset += entry.size;
    }
    if (offset != fileSize)
        qWarning() << "Offline cache" << storagePath << "has" << fileSize - offset
                   << "unreadable bytes after" << entries->size() << "records";
    return FileState::Ours;
}

// Writes the header, the kept records copied as they are, and the appended one into a
// temporary file that then replaces the cache.
bool OfflineStorage::Rewrite(
    FileState state, const QList<Entry>& keep, const ScreenshotRecord* append)
{
    if (state == FileState::Foreign && !SetAside())
        return false;
    QDir().mkpath(QFileInfo(storagePath).absolutePath());
    QFile old(storagePath);
    if (!keep.isEmpty() && !old.open(QIODevice::ReadOnly))
        return false;
    QSaveFile target(storagePath);
    if (!target.open(QIODevice::WriteOnly)) {
        qWarning() << "Cannot write the offline cache" << storagePath << target.errorString();
        return false;
    }
    QDataStream out(&target);
    out.writeRawData(fileMagic.constData(), fileMagic.size());
    out << formatVersion;
    for (const Entry& entry : keep) {
        old.seek(entry.offset);
        qint64 left = entry.size;
        while (left > 0) {
            const QByteArray chunk = old.read(qMin<qint64>(left, 1024 * 1024));
            if (chunk.isEmpty()) {
                target.cancelWriting();
                return false;
            }
            target.write(chunk);
            left -= chunk.size();
        }
    }
    if (append) {
        target.write(EncodeRecord(*append));
        target.write(append->image);
    }
    if (!target.commit()) {
        qWarning() << "Cannot write the offline cache" << storagePath << target.errorString();
        return false;
    }
    return true;
}

// A file that is not a cache of ours may be someone's data: it is renamed, never overwritten.
bool OfflineStorage::SetAside() const
{
    const QString stem = storagePath + QStringLiteral(".foreign-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = stem;
    for (int n = 1; QFile::exists(aside); ++n)
        aside = stem + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(storagePath, aside)) {
        qWarning() << "Cannot set aside" << storagePath;
        return false;
    }
    qWarning() << "Offline cache" << storagePath << "was not ours; moved to" << aside;
    return true;
}

QByteArray OfflineStorage::ReadImage(QFile& file, const Entry& entry)
{
    if (!file.seek(entry.imageOffset))
        return {};
    return file.read(entry.imageSize);
}

void OfflineStorage::UploadNext()
{
    // The file is read afresh for each record, so captures cached during the run go too.
    const int memberId = api.GetCurrentUserInfo().memberId;
    QList<Entry> entries;
    QFile file(storagePath);
    if (Scan(&entries, true) == FileState::Ours && file.open(QIODevice::ReadOnly)) {
        for (const Entry& entry : qAsConst(entries)) {
            if (entry.shot.memberId != memberId)
                continue;
            inFlight = entry.shot;
            inFlight.image = ReadImage(file, entry);
            api.UploadScreenshot(inFlight);
            return;
        }
    }
    uploading = false;
}

void OfflineStorage::OnUploaded()
{
    // Should the record stay in the file, the next run would send it again: stop instead.
    if (!RemoveUploaded()) {
        uploading = false;
        return;
    }
    UploadNext();
}

void OfflineStorage::OnUploadFailed()
{
    uploading = false;
}

bool OfflineStorage::RemoveUploaded()
{
    QList<Entry> entries;
    const FileState state = Scan(&entries, true);
    if (state != FileState::Ours)
        return false;
    QFile file(storagePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    for (int index = 0; index < entries.size(); ++index) {
        const Entry& entry = entries.at(index);
        if (SameCapture(entry.shot, inFlight) && entry.imageSize == inFlight.image.size()
            && ReadImage(file, entry) == inFlight.image) {
            file.close();
            entries.removeAt(index);
            return Rewrite(state, entries, nullptr);
        }
    }
    return false;
}
