#pragma once

#include "tracking/RosterWindow.h"

#include "AppInfo.h"
#include "FakeServiceProcess.h"
#include "LogManager.h"
#include "SettingsProvider.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QIcon>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPair>
#include <QPixmap>
#include <QSignalSpy>
#include <QtTest>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// What the main window tests share: a window signed in at the fake service with the sample
// member's teams, the settings, the activity log, and lookups of windows, menus and icons.
namespace TrackingFixture {

struct Team
{
    int id;
    QString name;
};

// The sample member's teams at the fake service.
inline const QList<Team> sampleTeams { { 11, "Atlas" }, { 12, "Borealis" }, { 13, "Cinder" } };

inline void ChangeSettings(const std::function<void(SettingsProvider::SETTINGS&)>& change)
{
    SettingsProvider::SETTINGS settings = SettingsProvider::instance()->GetCurrentSettings();
    change(settings);
    SettingsProvider::instance()->SetCurrentSettings(settings);
}

// Defaults, but silent popups.
inline void ResetSettings()
{
    SettingsProvider::SETTINGS settings;
    settings.soundMode = 0;
    SettingsProvider::instance()->SetCurrentSettings(settings);
}

inline QString ActivityLogPath()
{
    return SettingsProvider::instance()->GetCurrentSettings().logLocation + "/"
        + AppInfo::applicationName + ".log";
}

// The activity log from byte `from` on.
inline QString ActivityLog(qint64 from = 0)
{
    LogManager::Flush();
    QFile file(ActivityLogPath());
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    file.seek(from);
    return QString::fromUtf8(file.readAll());
}

// The activity log from a position on; Mark() gives the position.
class LogReader
{
public:
    LogReader() { Mark(); }
    void Mark()
    {
        LogManager::Flush();
        start = QFile(ActivityLogPath()).size();
    }
    QString Text() const { return ActivityLog(start); }
    // The texts after "Action: ", in order.
    QStringList Lines() const
    {
        QStringList lines;
        const QStringList raw = Text().split("\r\n", Qt::SkipEmptyParts);
        for (const QString& line : raw)
            lines << line.mid(line.indexOf("Action: ") + 8);
        return lines;
    }
    // Whether `expected` appear in this order (other lines may come between).
    bool HasInOrder(const QStringList& expected) const
    {
        const QStringList lines = Lines();
        int at = 0;
        for (const QString& line : lines)
            if (at < expected.size() && line == expected.at(at))
                ++at;
        return at == expected.size();
    }

private:
    qint64 start = 0;
};

template<typename T> T* Find(QObject& parent, const char* name)
{
    T* child = parent.findChild<T*>(QLatin1String(name));
    // A renamed or no longer owned child must stop the test with its name, in release
    // builds too, rather than crash it somewhere later.
    if (!child)
        qFatal("No child named %s", name);
    return child;
}

template<typename T> T* TopLevel()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        if (auto* found = qobject_cast<T*>(window))
            return found;
    return nullptr;
}

// The notification popup of the test's main window, made when first asked for.
inline popupWindow* ScreenshotPopup()
{
    RosterWindow* window = TopLevel<RosterWindow>();
    return window ? &window->ScreenshotPopup() : nullptr;
}

// Puts away the popup a test may have left on screen (none when it was never made).
inline void HideScreenshotPopup()
{
    if (auto* popup = TopLevel<popupWindow>())
        popup->hide();
}

// The action with this text in the menu or one of its submenus.
inline QAction* FindAction(const QMenu* menu, const QString& text)
{
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions) {
        if (action->text() == text)
            return action;
        if (action->menu())
            if (QAction* inner = FindAction(action->menu(), text))
                return inner;
    }
    return nullptr;
}

// An icon as the pixels it shows in the tray.
inline QImage IconImage(const QIcon& icon)
{
    return icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
}

inline QAction* TrayAction(TrayIcon& tray, const QString& text)
{
    return FindAction(tray.contextMenu(), text);
}

// The window's REST clients signed in as the sample member: the roster client at the service,
// the information client with its key.
inline bool SignInClients(RosterWindow& window)
{
    auto* api = Find<RestAPI>(window, "restApi");
    api->Login("demo", "demo123");
    if (!QTest::qWaitFor([api] { return api->IsLoggedIn(); }, 10000))
        return false;
    Find<RestAPI>(window, "infoApi")->SetApiSecurityInfo(api->GetCurrentUserInfo());
    return true;
}

// The window, the hub and the tray as sign-in completion leaves them for the sample member,
// the hub's uploads going through the roster client.
inline void MarkSignedIn(RosterWindow& window)
{
    auto* misc = window.findChild<MiscFunctions*>();
    misc->SetUserName("demo");
    misc->SetApiHandle(Find<RestAPI>(window, "restApi"));
    misc->GetTrayIcon().ChangeSign(true);
    window.SetSignedIn(true);
}

// The window signed in as the sample member, the teams in the roster model, the combo and the
// team menu.
inline bool SignIn(RosterWindow& window, const QList<Team>& teams = sampleTeams)
{
    if (!SignInClients(window))
        return false;
    MarkSignedIn(window);

    QList<RosterManager::ROSTER_GROUP_ITEM> groups;
    auto* combo = Find<QComboBox>(window, "cmbCurrentCompany");
    auto* menu = Find<QMenu>(window, "menuSelect_team");
    menu->clear();
    combo->clear();
    for (const Team& team : teams) {
        RosterManager::ROSTER_GROUP_ITEM group;
        group.groupID = team.id;
        group.name = team.name;
        groups << group;
        combo->addItem(team.name);
        QAction* action = menu->addAction(team.name);
        action->setCheckable(true);
        action->setProperty("PropertyIDForIDStorage", team.id);
    }
    Find<RosterManager>(window, "rosterManager")->SetRosterList(groups, false);
    window.findChild<MiscFunctions*>()->GetTrayIcon().SetTeams(groups);
    return true;
}

inline QAction* TeamAction(RosterWindow& window, const QString& name)
{
    return FindAction(Find<QMenu>(window, "menuSelect_team"), name);
}

inline QStringList CheckedTeams(RosterWindow& window)
{
    QStringList checked;
    const QList<QAction*> actions = Find<QMenu>(window, "menuSelect_team")->actions();
    for (QAction* action : actions)
        if (action->isChecked())
            checked << action->text();
    return checked;
}

// Work notices the service received from position `from` on, as "start 11", "stop 12".
inline QStringList WorkNotices(const FakeServiceProcess& service, int from = 0)
{
    QStringList notices;
    const QList<QJsonObject> requests = service.Requests().mid(from);
    for (const QJsonObject& request : requests) {
        const QString path = request.value("path").toString();
        if (!path.startsWith("/k4p/work/"))
            continue;
        notices << path.mid(10).section(':', 0, 0) + " "
                + request.value("fields").toObject().value("team_id").toString();
    }
    return notices;
}

// A desktop and network the test sets at will; Install gives them to the window.
struct FakeDesktop
{
    int idleMs = 0;
    bool locked = false;
    bool screensaver = false;
    bool universeFlag = true;
    bool network = true;
    bool server = true;
    bool trayAvailable = true;
    int draw = 1;
    QString windowTitle = "Editor - notes.txt";
    QImage picture = Picture(Qt::darkCyan);
    QList<QPair<QString, QString>> trayWarnings;
    QList<QPair<QString, QString>> trayNotices;

    static QImage Picture(const QColor& color)
    {
        QImage picture(48, 32, QImage::Format_RGB32);
        picture.fill(color);
        return picture;
    }

    void Install(RosterWindow& window)
    {
        TrackingEnvironment environment;
        environment.grabDesktop = [this] {
            return picture;
        };
        environment.randomDraw = [this] {
            return draw;
        };
        environment.activeWindowTitle = [this] {
            return windowTitle;
        };
        environment.idleTime = [this] {
            return idleMs;
        };
        environment.isSystemLocked = [this] {
            return locked;
        };
        environment.isScreensaverActive = [this] {
            return screensaver;
        };
        environment.universeFlagState = [this] {
            return universeFlag;
        };
        environment.isNetworkEnabled = [this] {
            return network;
        };
        environment.isServerEnabled = [this] {
            return server;
        };
        environment.showTrayWarning = [this](const QString& title, const QString& text) {
            trayWarnings.append({ title, text });
        };
        environment.showTrayNotice = [this](const QString& title, const QString& text) {
            trayNotices.append({ title, text });
        };
        environment.isTrayAvailable = [this] {
            return trayAvailable;
        };
        window.SetEnvironment(environment);
    }
};

// Holds the grabs made through it on their worker until it opens, and counts them: what the
// window does while a grab is on its way. Its locks are the standard library's, which the
// thread sanitizer sees; it opens when it goes, so no worker is left waiting.
class GrabGate
{
public:
    explicit GrabGate(bool open = false) { state->open = open; }
    ~GrabGate() { Open(); }
    GrabGate(const GrabGate&) = delete;
    GrabGate& operator=(const GrabGate&) = delete;

    std::function<QImage()> Wrap(std::function<QImage()> grab) const
    {
        return [state = state, grab] {
            std::unique_lock<std::mutex> lock(state->mutex);
            state->changed.wait(lock, [&] { return state->open; });
            ++state->grabs;
            lock.unlock();
            return grab();
        };
    }
    void Open()
    {
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->open = true;
        }
        state->changed.notify_all();
    }
    int Grabs() const
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        return state->grabs;
    }

private:
    struct State
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        int grabs = 0;
    };
    std::shared_ptr<State> state = std::make_shared<State>();
};

// Tracking time for the team; the memo dialog's answer given, the dialog put away.
inline void StartTracking(RosterWindow& window, const QString& team, const QString& memo)
{
    Find<QComboBox>(window, "cmbCurrentCompany")->setCurrentText(team);
    window.StartTrackingTime();
    window.SetMemo(memo, 0);
    window.findChild<MiscFunctions*>()->GetMemoDialog().hide();
}

// A capture as the capture timer takes it, until its grab has come back to the window: its
// popup shows then (or, with notices off, its save is under way). False when no grab came.
inline bool TakeCapture(RosterWindow& window)
{
    QSignalSpy grabbed(Find<CaptureEncoder>(window, "captureEncoder"), &CaptureEncoder::Grabbed);
    window.GetScreenshot();
    return grabbed.count() > 0 || grabbed.wait();
}

inline QString ToolTip(RosterWindow& window)
{
    return window.findChild<MiscFunctions*>()->GetTrayIcon().toolTip();
}

} // namespace TrackingFixture
