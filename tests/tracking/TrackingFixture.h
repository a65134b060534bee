#pragma once

#include "tracking/RosterWindow.h"

#include "AppInfo.h"
#include "FakeServiceProcess.h"
#include "SettingsProvider.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPair>
#include <QPixmap>
#include <QSignalSpy>
#include <QtTest>

#include <functional>

// What the main window tests share: a window signed in at the fake service with the sample
// member's teams, the settings, and the activity log.
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

// The activity log from a position on; Mark() gives the position.
class LogReader
{
public:
    LogReader() { Mark(); }
    void Mark() { start = QFile(ActivityLogPath()).size(); }
    QString Text() const
    {
        QFile file(ActivityLogPath());
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        file.seek(start);
        return QString::fromUtf8(file.readAll());
    }
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
    Q_ASSERT_X(child, "Find", name);
    return child;
}

inline popupWindow* ScreenshotPopup()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows)
        if (auto* popup = qobject_cast<popupWindow*>(window))
            return popup;
    return nullptr;
}

// The window's REST client signed in as the sample member, the hub's uploads going through it,
// the teams in the roster model, the combo and the team menu.
inline bool SignIn(RosterWindow& window, const QList<Team>& teams = sampleTeams)
{
    auto* api = Find<RestAPI>(window, "restApi");
    api->Login("demo", "demo123");
    if (!QTest::qWaitFor([api] { return api->IsLoggedIn(); }, 10000))
        return false;
    auto* misc = window.findChild<MiscFunctions*>();
    misc->SetUserName("demo");
    misc->SetApiHandle(api);
    misc->GetTrayIcon().ChangeSign(true);
    window.SetSignedIn(true);

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
    misc->GetTrayIcon().SetTeams(groups);
    return true;
}

inline QAction* TeamAction(RosterWindow& window, const QString& name)
{
    const QList<QAction*> actions = Find<QMenu>(window, "menuSelect_team")->actions();
    for (QAction* action : actions)
        if (action->text() == name)
            return action;
    return nullptr;
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
    int draw = 1;
    QString windowTitle = "Editor - notes.txt";
    QPixmap picture = Picture(Qt::darkCyan);
    QList<QPair<QString, QString>> trayWarnings;

    static QPixmap Picture(const QColor& color)
    {
        QPixmap picture(48, 32);
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
        window.SetEnvironment(environment);
    }
};

// Tracking time for the team; the memo dialog's answer given, the dialog put away.
inline void StartTracking(RosterWindow& window, const QString& team, const QString& memo)
{
    Find<QComboBox>(window, "cmbCurrentCompany")->setCurrentText(team);
    window.StartTrackingTime();
    window.SetMemo(memo, 0);
    window.findChild<MiscFunctions*>()->GetMemoDialog().hide();
}

inline QString ToolTip(RosterWindow& window)
{
    return window.findChild<MiscFunctions*>()->GetTrayIcon().toolTip();
}

} // namespace TrackingFixture
