#include "LogManager.h"

#include "LogCategories.h"
#include "RegularFile.h"
#include "SerialWorker.h"
#include "UserOnlyFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct LogManager::OpenFile
{
    // The file at `path`, open for appending: the one held when it is still there, else opened
    // anew. -1 when it cannot be opened.
    int At(const QString& path);
    void Close();

    int fd = -1;
    QString failedPath; // the path whose log could not be opened, said once
};

LogManager::LogManager(QObject* parent) : QObject(parent), file(std::make_shared<OpenFile>()) { }

LogManager::~LogManager()
{
    CloseFile();
}

void LogManager::SetLogPath(const QString& filePath)
{
    if (filePath != logPath)
        CloseFile();
    logPath = filePath;
}

QString LogManager::GetLogPath() const
{
    return logPath;
}

void LogManager::StartLog()
{
    enabled = true;
    AddToLog(LOG_APPLICATION_STARTED);
}

void LogManager::SetLimitSize(int megabytes)
{
    limitBytes = megabytes > 0 ? qint64(megabytes) * 1024 * 1024 : 0;
}

bool LogManager::IsLogsEnabled() const
{
    return enabled;
}

void LogManager::SetLogsEnabled(bool on)
{
    enabled = on;
    if (!on)
        CloseFile();
}

QString LogManager::ActionText(LOG_ACTION action, const QVariant& value)
{
    switch (action) {
    case LOG_APPLICATION_STARTED:
        return QStringLiteral("Application started Platform: Linux");
    case LOG_APPLICATION_QUIT:
        return QStringLiteral("Application quit");
    case LOG_SIGNED_IN:
        return QStringLiteral("Signed in: ") + value.toString();
    case LOG_SIGNED_OUT:
        return QStringLiteral("Signed out");
    case LOG_SIGN_IN_ERROR:
        return QStringLiteral("Sign-in error! Login name: ") + value.toString();
    case LOG_CONNECT_TO_SERVER:
        return QStringLiteral("Connect to server: ") + value.toString();
    case LOG_NETWORK_ERROR:
        return QStringLiteral("Network error!");
    case LOG_CONNECT_TO_SERVER_ERROR:
        return QStringLiteral("Connect to server error!");
    case LOG_LOAD_APPLICATION_CONFIG:
        return QStringLiteral("Load application config");
    case LOG_LOAD_STYLE:
        return QStringLiteral("Load style");
    case LOG_HOTKEYS_ENABLED:
        return QStringLiteral("Hotkeys are enabled now");
    case LOG_GET_GROUPS:
        return QStringLiteral("Get groups. Total groups: %1").arg(value.toInt());
    case LOG_GET_USERS:
        return QStringLiteral("Get users. Total users: %1").arg(value.toInt());
    case LOG_TRACKING_STARTED:
        return QStringLiteral("Time tracking is started. Company: ") + value.toString();
    case LOG_TRACKING_STOPPED:
        return QStringLiteral("Time tracking is stopped. Company: ") + value.toString();
    case LOG_MEMO_DIALOG_OPENED:
        return QStringLiteral("Memo dialog was opened");
    case LOG_USER_STATUS_CHANGED:
        return QStringLiteral("User status was changed: ") + value.toString();
    case LOG_STOPPED_BY_SYSTEM_LOCK:
        return QStringLiteral("Tracking time stopped by system lock");
    case LOG_STOPPED_BY_IDLE_TIME:
        return QStringLiteral("Tracking time stopped by idle time");
    case LOG_STOPPED_BY_SCREENSAVER:
        return QStringLiteral("Tracking time stopped by screensaver");
    case LOG_CHAT_WINDOW_OPENED:
        return QStringLiteral("Chat window is opened");
    case LOG_NEW_CHAT_MESSAGE:
        return QStringLiteral("New message from chat");
    case LOG_ROSTER_RECEIVED:
        return QStringLiteral("Roster is recieved");
    case LOG_AVATARS_RECEIVED:
        return QStringLiteral("Avatars were recieved");
    case LOG_SCREENSHOTS_RECEIVED:
        return QStringLiteral("Screenshots are recieved");
    case LOG_UPLOAD_SCREENSHOT:
        return QStringLiteral("Upload user screenshot");
    case LOG_TEXT:
        break;
    }
    return value.toString();
}

QString LogManager::FormatLine(const QDateTime& when, const QString& text)
{
    const QDate date = when.date();
    const QTime time = when.time();
    return QStringLiteral("[%1-%2-%3][%4:%5:%6] - Action: %7\r\n")
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(time.hour(), 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.second(), 2, 10, QLatin1Char('0'))
        .arg(text);
}

QString LogManager::Redact(const QString& text)
{
    // Form and query fields, XML elements, and bare 32-digit hex words (MD5 digests).
    static const QRegularExpression field(
        QStringLiteral("\\b(password|hash_key|hashKey)(\\s*[=:]\\s*)[^&\\s,;]*"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression element(QStringLiteral("<(password|hash_key)>[^<]*</\\1>"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression digest(QStringLiteral("\\b[0-9A-Fa-f]{32}\\b"));
    QString result = text;
    result.replace(field, QStringLiteral("\\1\\2***"));
    result.replace(element, QStringLiteral("<\\1>***</\\1>"));
    result.replace(digest, QStringLiteral("***"));
    return result;
}

void LogManager::AddToLog(LOG_ACTION action, const QVariant& value)
{
    if (!enabled || logPath.isEmpty())
        return;
    // The value is read here, where its owner is; the rest waits for the log thread.
    Writes().Post(
        [file = file, path = logPath, limit = limitBytes,
            when = QDateTime::currentMSecsSinceEpoch(), text = ActionText(action, value)] {
            const int fd = file->At(path);
            if (fd < 0)
                return;
            struct stat status;
            if (limit > 0 && ::fstat(fd, &status) == 0 && status.st_size > limit
                && ::ftruncate(fd, 0) != 0)
                qCDebug(logFilesLog) << "Cannot empty the log" << path;
            const QByteArray line
                = FormatLine(QDateTime::fromMSecsSinceEpoch(when), Redact(text)).toUtf8();
            if (::write(fd, line.constData(), size_t(line.size())) != line.size())
                qCDebug(logFilesLog) << "Cannot write the log" << path;
        });
}

int LogManager::OpenFile::At(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat onDisk;
    struct stat held;
    // One look at the path per line: the file held is still the one there, unless it was
    // rotated, moved or deleted since, or the log moved to another path.
    if (fd >= 0
        && !(::stat(name.constData(), &onDisk) == 0 && ::fstat(fd, &held) == 0
            && onDisk.st_dev == held.st_dev && onDisk.st_ino == held.st_ino))
        Close();
    if (fd >= 0)
        return fd;

    fd = OpenLogFile(path);
    // Lines come several times a second: a log that cannot be opened is said once.
    if (fd < 0 && failedPath != path)
        qCWarning(logFilesLog) << "Cannot open the log" << path;
    failedPath = fd < 0 ? path : QString();
    return fd;
}

void LogManager::OpenFile::Close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void LogManager::CloseFile()
{
    Writes().Post([file = file] { file->Close(); });
}

int LogManager::OpenLogFile(const QString& path)
{
    if (!UserOnlyFiles::MakeFolder(QFileInfo(path).absolutePath()))
        return -1;
    return RegularFile::OpenForAppendingAsideOthers(path);
}

bool LogManager::AppendToFile(const QString& path, const QByteArray& bytes)
{
    const int file = OpenLogFile(path);
    if (file < 0)
        return false;
    const bool written = ::write(file, bytes.constData(), size_t(bytes.size())) == bytes.size();
    ::close(file);
    return written;
}

void LogManager::AppendLater(const QString& path, std::function<QByteArray()> line)
{
    Writes().Post([path, line = std::move(line)] {
        if (!AppendToFile(path, line()))
            qCDebug(logFilesLog) << "Cannot write the log" << path;
    });
}

SerialWorker& LogManager::Writes()
{
    // Never destroyed: lines are given until the process's very end. What the lines are made
    // with comes first, and the last lines are written at the exit before it goes.
    static SerialWorker* const writes = [] {
        (void)Redact(QString());
        (void)logFilesLog();
        auto* worker = new SerialWorker;
        std::atexit(&LogManager::Flush);
        return worker;
    }();
    return *writes;
}

void LogManager::Flush()
{
    Writes().WaitForIdle();
}

QString LogManager::UsableFolder(const QString& stored, const QString& fallback)
{
    const QFileInfo folder(stored);
    if (!stored.isEmpty() && QDir::isAbsolutePath(stored) && folder.isDir()
        && ::access(QFile::encodeName(stored).constData(), W_OK | X_OK) == 0)
        return stored;
    return fallback;
}
