#include "CacheFolder.h"

#include "LogCategories.h"
#include "RegularFile.h"
#include "UserOnlyFiles.h"

#include <QDataStream>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray fileMagic = QByteArrayLiteral("OFFLINESTORAGE");
const QByteArray recordMagic = QByteArrayLiteral("IMGHDR");
constexpr quint16 formatVersion = 1;
constexpr qint64 fileHeaderSize = 14 + 2;
constexpr qint64 recordHeaderSize = 6 + 4 + 4;
// Bounds that no real record reaches; a head beyond them is damage, not a record.
constexpr quint32 maxFieldsSize = 1024 * 1024;
constexpr quint32 maxImageSize = 256 * 1024 * 1024;
// The largest record a capture can make, its fields and picture at their bounds (AddToStorage
// takes no larger one), and so the largest file the folder holds (one record each) and the
// largest the earlier layout could leave (every record of a full cache in one file). A larger
// file holds no records of ours: reading it, even only to look for one, could take minutes.
constexpr qint64 maxRecordSize = recordHeaderSize + qint64(maxFieldsSize) + maxImageSize;
constexpr qint64 maxFolderFileSize = fileHeaderSize + maxRecordSize;
constexpr qint64 maxLegacyFileSize = fileHeaderSize + CacheFolder::maxItems * maxRecordSize;
// The highest number a ten-digit name holds.
constexpr qint64 maxNumber = 9999999999LL;

const QString dateFormat = QStringLiteral("yyyy-MM-dd");
const QString timeFormat = QStringLiteral("HH:mm:ss.zzz");
const QString partSuffix = QStringLiteral(".part");
// The folder's cache files: ten digits, so that names sort as their numbers do.
const QRegularExpression numberedName(QStringLiteral("^(\\d{10})\\.bin$"));

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
    return head + fields + shot.image;
}

bool SameCapture(const ScreenshotRecord& a, const ScreenshotRecord& b)
{
    return a.memberId == b.memberId && a.companyId == b.companyId && a.keyStrokes == b.keyStrokes
        && a.mouseClicks == b.mouseClicks && a.date == b.date && a.time == b.time
        && a.workingTime == b.workingTime && a.memo == b.memo && a.activeWindow == b.activeWindow;
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

// Whether anything has this name: a file, a folder, a link (even one that leads nowhere).
bool IsTaken(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// Opens `path` for writing, emptied, readable by its owner only.
bool OpenUserOnly(QFile* file, const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
        O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    if (::fchmod(fd, 0600) != 0
        || !file->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

} // namespace

CacheFolder::CacheFolder(const QString& legacyPath)
    : legacyPath(legacyPath),
      folderPath((legacyPath.endsWith(QLatin1String(".bin")) ? legacyPath.chopped(4) : legacyPath)
          + QStringLiteral(".d"))
{ }

QString CacheFolder::LegacyPath() const
{
    return legacyPath;
}

QString CacheFolder::FolderPath() const
{
    return folderPath;
}

QList<CacheFolder::Record> CacheFolder::Records() const
{
    std::unique_lock<std::mutex> locker(lock);
    return Scan();
}

int CacheFolder::Count() const
{
    std::unique_lock<std::mutex> locker(lock);
    return Scan().size() + announced;
}

void CacheFolder::Announce()
{
    std::unique_lock<std::mutex> locker(lock);
    ++announced;
}

QByteArray CacheFolder::ReadImage(const Record& record)
{
    QFile file;
    if (!RegularFile::OpenForReading(&file, record.file) || !file.seek(record.imageOffset))
        return {};
    return file.read(record.imageSize);
}

bool CacheFolder::IsStorable(const ScreenshotRecord& shot)
{
    const QByteArray fields = EncodeFields(shot);
    ScreenshotRecord back;
    return fields.size() <= int(maxFieldsSize) && !shot.image.isEmpty()
        && shot.image.size() <= int(maxImageSize) && DecodeFields(fields, &back)
        && SameCapture(back, shot);
}

bool CacheFolder::Add(const ScreenshotRecord& shot)
{
    Tidy();
    const qint64 number = NextNumber();
    const QString path = NumberedFile(number);
    const QString part = path + partSuffix;
    bool written = false;
    if (Scan().size() >= maxItems)
        qCWarning(cacheLog) << "Offline cache is full; capture dropped";
    else if (number < 0)
        qCWarning(cacheLog) << "No record name is left in" << folderPath;
    else if (!UserOnlyFiles::MakeFolder(folderPath)
        || !WriteCacheFile(part, nullptr, {}, EncodeRecord(shot), true))
        qCWarning(cacheLog) << "Cannot write the offline cache in" << folderPath;
    else
        written = true;
    // The announcement ends as the record appears: a reader counts it once.
    std::unique_lock<std::mutex> locker(lock);
    const bool added = written
        && ::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) == 0;
    announced = std::max(0, announced - 1);
    locker.unlock();
    if (added)
        SyncFolder();
    else
        QFile::remove(part);
    return added;
}

bool CacheFolder::Oldest(int memberId, ScreenshotRecord* shot) const
{
    const QList<Record> records = Records();
    for (const Record& record : records) {
        if (record.shot.memberId != memberId)
            continue;
        *shot = record.shot;
        shot->image = ReadImage(record);
        return !shot->image.isEmpty();
    }
    return false;
}

bool CacheFolder::Remove(const ScreenshotRecord& shot, const QString& asideKind)
{
    Tidy();
    for (const QString& path : Files()) {
        QList<Record> records;
        QList<Span> damaged;
        if (ScanFile(path, &records, MaxFileSize(path), &damaged) != FileState::Ours)
            continue;
        for (int index = 0; index < records.size(); ++index) {
            const Record& record = records.at(index);
            if (!SameCapture(record.shot, shot) || record.imageSize != shot.image.size()
                || ReadImage(record) != shot.image)
                continue;
            QFile file;
            if (!asideKind.isEmpty()
                && !(RegularFile::OpenForReading(&file, path)
                    && KeepAside(asideKind, file, { { record.offset, record.size } })))
                return false;
            records.removeAt(index);
            if (!records.isEmpty() || !damaged.isEmpty())
                return Rewrite(path, records, damaged);
            std::unique_lock<std::mutex> locker(lock);
            const bool removed = QFile::remove(path);
            locker.unlock();
            SyncFolder();
            return removed;
        }
    }
    return false;
}

// The earlier single file first, then the folder's files by number.
QStringList CacheFolder::Files() const
{
    QStringList files;
    const QFileInfo legacy(legacyPath);
    if (legacy.exists() || legacy.isSymLink())
        files << legacyPath;
    const QDir folder(folderPath);
    QStringList names = folder.entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    names.erase(std::remove_if(names.begin(), names.end(),
                    [](const QString& name) { return !numberedName.match(name).hasMatch(); }),
        names.end());
    for (const QString& name : qAsConst(names))
        files << folder.filePath(name);
    return files;
}

QList<CacheFolder::Record> CacheFolder::Scan() const
{
    QList<Record> all;
    for (const QString& path : Files()) {
        QList<Record> records;
        ScanFile(path, &records, MaxFileSize(path));
        all += records;
    }
    return all;
}

qint64 CacheFolder::MaxFileSize(const QString& path) const
{
    return path == legacyPath ? maxLegacyFileSize : maxFolderFileSize;
}

// Reads every whole record of one cache file from the start. Bytes that hold none (a damaged
// record, a cut-short tail) are passed over up to the next whole record and reported in
// `damaged`. A file larger than `maxSize` is not opened.
CacheFolder::FileState CacheFolder::ScanFile(
    const QString& path, QList<Record>* records, qint64 maxSize, QList<Span>* damaged)
{
    records->clear();
    if (damaged)
        damaged->clear();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return FileState::Missing;
    // A pipe or a device in a cache file's place is not a cache: it is moved away, never opened.
    if (!info.isFile())
        return FileState::Foreign;
    if (info.size() > maxSize)
        return FileState::Oversized;
    QFile file;
    if (!RegularFile::OpenForReading(&file, path)) {
        // Gone between the look and the open: a writer took it away.
        if (!QFileInfo::exists(path))
            return FileState::Missing;
        qCWarning(cacheLog) << "Cannot read the offline cache" << path;
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
        Record record;
        if (ReadEntry(file, offset, fileSize, &record)) {
            record.file = path;
            records->append(record);
            offset += record.size;
            continue;
        }
        const qint64 next = FindNextEntry(file, offset + 1, fileSize);
        qCWarning(cacheLog) << "Offline cache" << path << "has" << next - offset
                            << "unreadable bytes after" << records->size() << "records";
        if (damaged)
            damaged->append({ offset, next - offset });
        offset = next;
    }
    return FileState::Ours;
}

// The record that begins at `offset`, when its head, its fields and its extent are whole.
bool CacheFolder::ReadEntry(QFile& file, qint64 offset, qint64 fileSize, Record* record)
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
    record->offset = offset;
    record->imageOffset = offset + recordHeaderSize + fieldsSize;
    record->imageSize = imageSize;
    record->size = recordHeaderSize + fieldsSize + imageSize;
    return offset + record->size <= fileSize && DecodeFields(file.read(fieldsSize), &record->shot);
}

// Where the next whole record after `from` begins; the file's end when none does.
qint64 CacheFolder::FindNextEntry(QFile& file, qint64 from, qint64 fileSize)
{
    constexpr qint64 chunkSize = 1024 * 1024;
    for (qint64 pos = from; pos < fileSize; pos += chunkSize) {
        if (!file.seek(pos))
            break;
        const QByteArray chunk = file.read(chunkSize + recordMagic.size() - 1);
        for (int at = chunk.indexOf(recordMagic); at >= 0;
             at = chunk.indexOf(recordMagic, at + 1)) {
            Record record;
            if (ReadEntry(file, pos + at, fileSize, &record))
                return pos + at;
        }
    }
    return fileSize;
}

// Before a change: the earlier file is moved in, files that are not caches are set aside, and
// bytes that hold no whole record are kept in a file of their own and left out. What a killed
// write left half done is thrown away: it never was a record.
void CacheFolder::Tidy()
{
    MoveLegacyIn();
    const QDir folder(folderPath);
    const QStringList parts = folder.entryList(
        { QStringLiteral("*") + partSuffix }, QDir::Files | QDir::System | QDir::Hidden);
    for (const QString& part : parts)
        QFile::remove(folder.filePath(part));
    if (QFileInfo(legacyPath + partSuffix).isFile())
        QFile::remove(legacyPath + partSuffix);
    for (const QString& path : Files()) {
        QList<Record> records;
        QList<Span> damaged;
        const FileState state = ScanFile(path, &records, MaxFileSize(path), &damaged);
        if (state == FileState::Foreign)
            SetAside(path, QStringLiteral("foreign"));
        else if (state == FileState::Oversized)
            SetAside(path, QStringLiteral("oversized"));
        else if (state == FileState::Ours && records.isEmpty() && !damaged.isEmpty())
            SetAside(path, QStringLiteral("damaged"));
        else if (state == FileState::Ours && !damaged.isEmpty())
            Rewrite(path, records, damaged);
    }
}

// The earlier layout's file becomes the folder's next file as it is, in one rename, so a crash
// can neither lose nor double it; one that is not a cache of ours is set aside instead.
bool CacheFolder::MoveLegacyIn()
{
    const QFileInfo legacy(legacyPath);
    if (!legacy.exists() && !legacy.isSymLink())
        return true;
    QList<Record> records;
    const FileState state = ScanFile(legacyPath, &records, MaxFileSize(legacyPath));
    if (state == FileState::Foreign)
        return SetAside(legacyPath, QStringLiteral("foreign"));
    if (state == FileState::Oversized)
        return SetAside(legacyPath, QStringLiteral("oversized"));
    if (state == FileState::Missing) // empty: nothing to move
        return QFile::remove(legacyPath);
    // Larger than a folder file may be, it stays where it is and is read there until removals
    // have made it small enough: in the folder it would be taken for no cache at all.
    if (state != FileState::Ours || legacy.size() > maxFolderFileSize)
        return false;
    const qint64 number = NextNumber();
    if (number < 0 || !UserOnlyFiles::MakeFolder(folderPath))
        return false;
    const QString moved = NumberedFile(number);
    return Commit(legacyPath, moved) && ::chmod(QFile::encodeName(moved).constData(), 0600) == 0;
}

// The number after the highest one that names anything in the folder, a folder or a link as
// well as a file, whose name and `.part` name are both free: a record renamed onto a folder of
// its name would fail, and with it every capture after. -1 once the ten digits are used up.
qint64 CacheFolder::NextNumber() const
{
    const QStringList names
        = QDir(folderPath)
              .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    qint64 number = 0;
    for (const QString& name : names) {
        const QRegularExpressionMatch match = numberedName.match(name);
        if (match.hasMatch())
            number = std::max(number, match.captured(1).toLongLong() + 1);
    }
    while (number <= maxNumber
        && (IsTaken(NumberedFile(number)) || IsTaken(NumberedFile(number) + partSuffix)))
        ++number;
    return number <= maxNumber ? number : -1;
}

QString CacheFolder::NumberedFile(qint64 number) const
{
    return folderPath + QLatin1Char('/')
        + QStringLiteral("%1.bin").arg(number, 10, 10, QLatin1Char('0'));
}

// Writes `keep` of the file at `path` into its place; `damaged` bytes are first kept in a file
// of their own: the cache never drops what it could not read.
bool CacheFolder::Rewrite(
    const QString& path, const QList<Record>& keep, const QList<Span>& damaged)
{
    QFile old;
    if (!RegularFile::OpenForReading(&old, path))
        return false;
    if (!damaged.isEmpty() && !KeepAside(QStringLiteral("damaged"), old, damaged))
        return false;
    QList<Span> spans;
    for (const Record& record : keep)
        spans.append({ record.offset, record.size });
    return WriteCacheFile(path + partSuffix, &old, spans, {}, true)
        && Commit(path + partSuffix, path);
}

// Renames `temporary` over `path` under the readers' lock, so that they see the one or the
// other file whole.
bool CacheFolder::Commit(const QString& temporary, const QString& path)
{
    std::unique_lock<std::mutex> locker(lock);
    const bool renamed
        = ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData())
        == 0;
    locker.unlock();
    SyncFolder();
    return renamed;
}

// A rename or a removal is in the folder for good only once the folder itself is on disk.
void CacheFolder::SyncFolder() const
{
    const int fd
        = ::open(QFile::encodeName(folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// A file that is not a cache of ours may be someone's data, and one that holds no whole record
// may be worth a look: it is renamed, never overwritten.
bool CacheFolder::SetAside(const QString& path, const QString& kind) const
{
    const QString aside = AsideName(kind);
    std::unique_lock<std::mutex> locker(lock);
    if (!QFile::rename(path, aside)) {
        qCWarning(cacheLog) << "Cannot set aside" << path;
        return false;
    }
    qCWarning(cacheLog) << "Offline cache" << path << "set aside as" << aside;
    return true;
}

// Copies `spans` of a cache file into a new file named after `kind`, so that records in it can
// be read like the cache's.
bool CacheFolder::KeepAside(const QString& kind, QFile& source, const QList<Span>& spans) const
{
    const QString aside = AsideName(kind);
    if (!WriteCacheFile(aside + partSuffix, &source, spans, {}, true)
        || !QFile::rename(aside + partSuffix, aside))
        return false;
    qCWarning(cacheLog) << "Offline cache: kept" << kind << "bytes in" << aside;
    return true;
}

QString CacheFolder::AsideName(const QString& kind) const
{
    const QString stem = legacyPath + QLatin1Char('.') + kind + QLatin1Char('-')
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stem;
    for (int n = 1; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = stem + QLatin1Char('-') + QString::number(n);
    return name;
}

// Writes a user-only cache file at `path`: the header, `spans` of `source` and `tail`; with
// `sync`, the bytes are on disk before it returns.
bool CacheFolder::WriteCacheFile(
    const QString& path, QFile* source, const QList<Span>& spans, const QByteArray& tail, bool sync)
{
    UserOnlyFiles::MakeFolder(QFileInfo(path).absolutePath());
    QFile target;
    if (!OpenUserOnly(&target, path)) {
        qCWarning(cacheLog) << "Cannot write" << path;
        return false;
    }
    bool written = target.write(fileMagic) == fileMagic.size();
    QDataStream(&target) << formatVersion;
    for (const Span& span : spans)
        written = written && source && CopySpan(*source, target, span.offset, span.size);
    written = written && target.write(tail) == tail.size() && target.flush()
        && (!sync || ::fsync(target.handle()) == 0);
    if (!written) {
        qCWarning(cacheLog) << "Cannot write" << path << target.errorString();
        target.close();
        QFile::remove(path);
    }
    return written;
}
