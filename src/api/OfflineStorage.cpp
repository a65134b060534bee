#include "OfflineStorage.h"

#include "AppInfo.h"
#include "RegularFile.h"
#include "UserOnlyFiles.h"

#include <QDataStream>
#include <QDateTime>
#include <QDebug>
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

// A text that is set must parse: anything else is damage.
template<typename T> bool ParseOptional(const QString& text, const QString& format, T* value)
{
    *value = text.isEmpty() ? T() : T::fromString(text, format);
    return text.isEmpty() || value->isValid();
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
    return in.status() == QDataStream::Ok && ParseOptional(date, dateFormat, &shot->date)
        && ParseOptional(time, timeFormat, &shot->time)
        && ParseOptional(workingTime, timeFormat, &shot->workingTime);
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

// Whether the capture would be read back from its record as it is, with a picture to upload.
bool IsStorable(const ScreenshotRecord& shot)
{
    const QByteArray fields = EncodeFields(shot);
    ScreenshotRecord back;
    return fields.size() <= int(maxFieldsSize) && !shot.image.isEmpty()
        && shot.image.size() <= int(maxImageSize) && DecodeFields(fields, &back)
        && SameCapture(back, shot);
}

// Answers in which the service refuses the record itself: sending it again cannot succeed. An
// expired session, a missing path or a busy service are not the record's fault.
bool IsRefusal(int httpStatus)
{
    return httpStatus == 400 || httpStatus == 413 || httpStatus == 415 || httpStatus == 422;
}

bool CopySpan(QFile& from, QIODevice& to, qint64 offset, qint64 size)
{
    if (!from.seek(offset))
        return false;
    while (size > 0) {
        const QByteArray chunk = from.read(qMin<qint64>(size, 1024 * 1024));
        if (chunk.isEmpty() || to.write(chunk) != chunk.size())
            return false;
        size -= chunk.size();
    }
    return true;
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
            OnUploadFailed(api.FailedHttpStatus());
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
    ScreenshotRecord stamped = shot;
    if (stamped.memberId < 1 && api.IsLoggedIn())
        stamped.memberId = api.GetCurrentUserInfo().memberId;
    if (!IsStorable(stamped)) {
        qWarning() << "A capture too large for the offline cache was not kept";
        return false;
    }
    QList<Entry> entries;
    QList<Span> damaged;
    const FileState state = Scan(&entries, &damaged);
    if (state == FileState::Unreadable)
        return false;
    if (entries.size() >= maxItems) {
        qWarning() << "Offline cache is full; capture dropped";
        return false;
    }
    return Rewrite(state, entries, damaged, &stamped);
}

QList<ScreenshotRecord> OfflineStorage::GetOfflineStorage()
{
    storageList.clear();
    QList<Entry> entries;
    if (Scan(&entries) != FileState::Ours)
        return storageList;
    QFile file;
    if (!RegularFile::OpenForReading(&file, storagePath))
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
    Scan(&entries);
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

// Reads every whole record from the start. Bytes that hold none (a damaged record, a cut-short
// tail) are passed over up to the next whole record and reported in `damaged`.
OfflineStorage::FileState OfflineStorage::Scan(QList<Entry>* entries, QList<Span>* damaged) const
{
    entries->clear();
    if (damaged)
        damaged->clear();
    const QFileInfo info(storagePath);
    if (!info.exists() && !info.isSymLink())
        return FileState::Missing;
    // A pipe or a device in the cache's place is not a cache: it is moved away, never opened.
    if (!info.isFile())
        return FileState::Foreign;
    QFile file;
    if (!RegularFile::OpenForReading(&file, storagePath)) {
        qWarning() << "Cannot read the offline cache" << storagePath;
        return FileState::Unreadable;
    }
    const qint64 fileSize = file.size();
    if (fileSize == 0)
        return FileState::Missing;
    QDataStream in(file.read(fileHeaderSize));
    QByteArray magic(fileMagic.size(), Qt::Uninitialized);
    quint16 version = 0;
    in.readRawData(magic.data(), magic.size());
    in >> version;
    if (in.status() != QDataStream::Ok || magic != fileMagic || version != formatVersion)
        return FileState::Foreign;

    qint64 offset = fileHeaderSize;
    while (offset < fileSize) {
        Entry entry;
        if (ReadEntry(file, offset, fileSize, &entry)) {
            entries->append(entry);
            offset += entry.size;
            continue;
        }
        const qint64 next = FindNextEntry(file, offset + 1, fileSize);
        qWarning() << "Offline cache" << storagePath << "has" << next - offset
                   << "unreadable bytes after" << entries->size() << "records";
        if (damaged)
            damaged->append({ offset, next - offset });
        offset = next;
    }
    return FileState::Ours;
}

// The record that begins at `offset`, when its head, its fields and its extent are whole.
bool OfflineStorage::ReadEntry(QFile& file, qint64 offset, qint64 fileSize, Entry* entry)
{
    if (offset + recordHeaderSize > fileSize || !file.seek(offset))
        return false;
    QDataStream in(file.read(recordHeaderSize));
    QByteArray tag(recordMagic.size(), Qt::Uninitialized);
    quint32 fieldsSize = 0;
    quint32 imageSize = 0;
    in.readRawData(tag.data(), tag.size());
    in >> fieldsSize >> imageSize;
    if (in.status() != QDataStream::Ok || tag != recordMagic || fieldsSize > maxFieldsSize
        || imageSize > maxImageSize)
        return false;
    entry->offset = offset;
    entry->imageOffset = offset + recordHeaderSize + fieldsSize;
    entry->imageSize = imageSize;
    entry->size = recordHeaderSize + fieldsSize + imageSize;
    return offset + entry->size <= fileSize && DecodeFields(file.read(fieldsSize), &entry->shot);
}

// Where the next whole record after `from` begins; the file's end when none does.
qint64 OfflineStorage::FindNextEntry(QFile& file, qint64 from, qint64 fileSize)
{
    constexpr qint64 chunkSize = 1024 * 1024;
    for (qint64 pos = from; pos < fileSize; pos += chunkSize) {
        if (!file.seek(pos))
            break;
        const QByteArray chunk = file.read(chunkSize + recordMagic.size() - 1);
        for (int at = chunk.indexOf(recordMagic); at >= 0;
             at = chunk.indexOf(recordMagic, at + 1)) {
            Entry entry;
            if (ReadEntry(file, pos + at, fileSize, &entry))
                return pos + at;
        }
    }
    return fileSize;
}

// Writes the header, the kept records copied as they are, and the appended one into a
// temporary file that then replaces the cache. Damaged bytes are first kept in a file of their
// own: the cache never drops what it could not read.
bool OfflineStorage::Rewrite(FileState state, const QList<Entry>& keep, const QList<Span>& damaged,
    const ScreenshotRecord* append)
{
    if (state == FileState::Foreign && !SetAside())
        return false;
    if (!UserOnlyFiles::MakeFolder(QFileInfo(storagePath).absolutePath()))
        return false;
    QFile old;
    if ((!keep.isEmpty() || !damaged.isEmpty()) && !RegularFile::OpenForReading(&old, storagePath))
        return false;
    if (!damaged.isEmpty() && !KeepAside(QStringLiteral("damaged"), old, damaged))
        return false;
    QList<Span> spans;
    for (const Entry& entry : keep)
        spans.append({ entry.offset, entry.size });
    return WriteCacheFile(
        storagePath, old, spans, append ? EncodeRecord(*append) + append->image : QByteArray());
}

// A file that is not a cache of ours may be someone's data: it is renamed, never overwritten.
bool OfflineStorage::SetAside() const
{
    const QString aside = AsideName(QStringLiteral("foreign"));
    if (!QFile::rename(storagePath, aside)) {
        qWarning() << "Cannot set aside" << storagePath;
        return false;
    }
    qWarning() << "Offline cache" << storagePath << "was not ours; moved to" << aside;
    return true;
}

// Copies `spans` of the cache into a new file named after `kind`, so that records in it can be
// read like the cache's.
bool OfflineStorage::KeepAside(const QString& kind, QFile& source, const QList<Span>& spans) const
{
    const QString aside = AsideName(kind);
    if (!WriteCacheFile(aside, source, spans, {}))
        return false;
    qWarning() << "Offline cache: kept" << kind << "bytes in" << aside;
    return true;
}

// Writes a user-only cache file at `path` through a temporary file: the header, `spans` of
// `source` and `tail`.
bool OfflineStorage::WriteCacheFile(
    const QString& path, QFile& source, const QList<Span>& spans, const QByteArray& tail)
{
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly)
        || !target.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        qWarning() << "Cannot write" << path << target.errorString();
        return false;
    }
    target.write(fileMagic);
    QDataStream(&target) << formatVersion;
    for (const Span& span : spans) {
        if (!CopySpan(source, target, span.offset, span.size)) {
            target.cancelWriting();
            return false;
        }
    }
    target.write(tail);
    if (!target.commit()) {
        qWarning() << "Cannot write" << path << target.errorString();
        return false;
    }
    return true;
}

QString OfflineStorage::AsideName(const QString& kind) const
{
    const QString stem = storagePath + QLatin1Char('.') + kind + QLatin1Char('-')
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stem;
    for (int n = 1; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = stem + QLatin1Char('-') + QString::number(n);
    return name;
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
    QFile file;
    if (Scan(&entries) == FileState::Ours && RegularFile::OpenForReading(&file, storagePath)) {
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
    if (!TakeInFlight(QString())) {
        uploading = false;
        return;
    }
    UploadNext();
}

void OfflineStorage::OnUploadFailed(int httpStatus)
{
    // A record the service refuses would stop every later run: it is set aside, not deleted,
    // and the records behind it go on.
    if (IsRefusal(httpStatus) && TakeInFlight(QStringLiteral("refused"))) {
        UploadNext();
        return;
    }
    uploading = false;
}

// Takes the record being uploaded out of the file; with `asideKind`, it is first kept in a file
// of its own.
bool OfflineStorage::TakeInFlight(const QString& asideKind)
{
    QList<Entry> entries;
    QList<Span> damaged;
    const FileState state = Scan(&entries, &damaged);
    QFile file;
    if (state != FileState::Ours || !RegularFile::OpenForReading(&file, storagePath))
        return false;
    for (int index = 0; index < entries.size(); ++index) {
        const Entry& entry = entries.at(index);
        if (!SameCapture(entry.shot, inFlight) || entry.imageSize != inFlight.image.size()
            || ReadImage(file, entry) != inFlight.image)
            continue;
        if (!asideKind.isEmpty() && !KeepAside(asideKind, file, { { entry.offset, entry.size } }))
            return false;
        file.close();
        entries.removeAt(index);
        return Rewrite(state, entries, damaged, nullptr);
    }
    return false;
}
