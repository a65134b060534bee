#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

class SerialWorker;

// The activity log: one line per event, "[dd-MM-yyyy][hh:mm:ss] - Action: <text>" and CR LF,
// appended to the file set with SetLogPath. Passwords, password digests and session keys
// are masked before a line is written. The file stays open between lines; it is opened
// afresh when it was moved, deleted or replaced since, and closed while logging is off. Only a
// regular file is written: anything else at the path is set aside and a new file begun.
//
// Lines reach their files on a thread of their own (`Writes`), in the order they were given,
// activity log and REST trace alike: no caller waits for the file system. A line carries the
// time it was given, not the time it was written.
class LogManager : public QObject
{
    Q_OBJECT
public:
    // The numbered actions and their texts; LOG_TEXT (and any other number) writes the
    // value's text itself.
    enum LOG_ACTION
    {
        LOG_TEXT = 0,
        LOG_APPLICATION_STARTED = 99,
        LOG_APPLICATION_QUIT = 100,
        LOG_SIGNED_IN = 101,
        LOG_SIGNED_OUT = 102,
        LOG_SIGN_IN_ERROR = 103,
        LOG_CONNECT_TO_SERVER = 104,
        LOG_NETWORK_ERROR = 105,
        LOG_CONNECT_TO_SERVER_ERROR = 106,
        LOG_LOAD_APPLICATION_CONFIG = 107,
        LOG_LOAD_STYLE = 108,
        LOG_HOTKEYS_ENABLED = 109,
        LOG_GET_GROUPS = 110,
        LOG_GET_USERS = 111,
        LOG_TRACKING_STARTED = 112,
        LOG_TRACKING_STOPPED = 113,
        LOG_MEMO_DIALOG_OPENED = 114,
        LOG_USER_STATUS_CHANGED = 115,
        LOG_STOPPED_BY_SYSTEM_LOCK = 116,
        LOG_STOPPED_BY_IDLE_TIME = 117,
        LOG_STOPPED_BY_SCREENSAVER = 118,
        LOG_CHAT_WINDOW_OPENED = 119,
        LOG_NEW_CHAT_MESSAGE = 120,
        LOG_ROSTER_RECEIVED = 121,
        LOG_AVATARS_RECEIVED = 122,
        LOG_SCREENSHOTS_RECEIVED = 123,
        LOG_UPLOAD_SCREENSHOT = 124
    };
    Q_ENUM(LOG_ACTION)

    explicit LogManager(QObject* parent = nullptr);
    ~LogManager() override;

    // The log file; its folder is made when the first line is written.
    void SetLogPath(const QString& filePath);
    QString GetLogPath() const;
    // Switches logging on and writes the start line.
    void StartLog();

    // Appends one line when a path is set and logging is on.
    void AddToLog(LOG_ACTION action, const QVariant& value = QVariant());

    // Empties the file before a line when it has grown past this many megabytes; 0 = no limit.
    void SetLimitSize(int megabytes);

    bool IsLogsEnabled() const;
    void SetLogsEnabled(bool enabled);

    // The text a line carries for the action and value.
    static QString ActionText(LOG_ACTION action, const QVariant& value);
    // The full line, CR LF included.
    static QString FormatLine(const QDateTime& when, const QString& text);
    // The text with password and hash_key fields and MD5-like digests replaced by "***",
    // for every log the client writes.
    static QString Redact(const QString& text);

    // Appends the bytes to a log file of the client's other than the activity log (the REST
    // trace), opened as the activity log is. False when it could not be written.
    static bool AppendToFile(const QString& path, const QByteArray& bytes);
    // As AppendToFile, on the log thread after every line given before; `line` is made there.
    // A line that cannot be written is said on the terminal.
    static void AppendLater(const QString& path, std::function<QByteArray()> line);

    // The thread the lines are written on, made when first asked for. Flush waits until every
    // line given so far is in its file: readers of the logs in this process, and the end.
    static SerialWorker& Writes();
    static void Flush();

    // The folder the logs go to: the stored one when it is an absolute path to a folder the
    // member may write to, else `fallback`. A relative folder would follow the working folder
    // of whoever started the client, out of the member's profile.
    static QString UsableFolder(const QString& stored, const QString& fallback);

private:
    // The file held between lines; touched on the log thread only.
    struct OpenFile;
    // Lets go of the file held, after the lines given before.
    void CloseFile();
    // Opens a log file for appending, user-only, its folder made when missing. Something other
    // than a regular file at the path (a pipe would block the open for good) is set aside.
    static int OpenLogFile(const QString& path);

    QString logPath;
    qint64 limitBytes = 0;
    bool enabled = true;
    std::shared_ptr<OpenFile> file;
};
