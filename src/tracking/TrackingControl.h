#pragma once

#include <QObject>
#include <QString>
#include <QTime>
#include <QTimer>

#include <functional>

class LogManager;
class MiscFunctions;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class RestAPI;
class RosterManager;
class popupWindow;

// A working session: whether time is tracked and for which team, the worked time and its tick,
// the service's start and stop notices, and what the time button, its label, the tracking
// entries, the team menu and the tray show of it. Every road that starts or stops tracking ends
// in the toggle. The capture timer, the reminders, the own status and the popup are the
// window's; the window is reached through Hooks, called where a start or a stop needs them.
class TrackingControl : public QObject
{
    Q_OBJECT
public:
    // What the window owns and the session only uses; each lives as long as the window.
    struct Services
    {
        MiscFunctions& misc;
        RosterManager& roster;
        RestAPI& api; // the work notices
        LogManager& log;
    };
    // The main form's controls the session shows itself in.
    struct Widgets
    {
        QPushButton* button = nullptr;
        QLabel* state = nullptr;
        QLabel* avatar = nullptr;
        QAction* trackingEntry = nullptr;
        QAction* memoEntry = nullptr;
        QAction* lastSnapshotEntry = nullptr;
        QMenu* snapMenu = nullptr;
        QComboBox* teams = nullptr;
        QMenu* teamMenu = nullptr;
    };
    // The window's parts of a start and a stop, in the order they are called.
    struct Hooks
    {
        std::function<void()> starting; // a team is set: a snoozed stop reminder goes
        std::function<void()> stopping; // first of a stop: the stop reminder is armed
        std::function<void(bool on)> captures; // the capture timer started or stopped
        std::function<void(bool tracking)> status; // the own status for the new state
        std::function<void()> teamSet; // before the memo dialog shows: the memo is cleared
        std::function<popupWindow&()> popup; // for the stop notice
    };

    // What a request to start, stop or toggle asks of the toggle in this state.
    enum class Request
    {
        Toggle,
        Start,
        Stop,
    };
    static bool Toggles(Request request, bool tracking);
    // What choosing a team in the tray or the team menu means.
    enum class TeamChoice
    {
        Blank, // none: stop
        Current, // the tracked one again: stop
        Other, // switch to it, when the roster knows it
    };
    static TeamChoice ChooseTeam(const QString& chosen, const QString& current);

    // The owner (the window) is the parent of the control and, once attached, of the worked
    // time's timer, as of its other timers, so tests find the timer by name.
    TrackingControl(const Services& services, QObject* owner);
    // Once the form is made: the controls, the window's hooks and the tick's timer.
    void Attach(const Widgets& widgets, const Hooks& hooks);

    bool IsTracking() const { return tracking; }
    // The worked time since the last reset; invalid until the first.
    QTime WorkingTime() const { return workingTime; }
    // Start and stop notices sent and not answered yet.
    int WorkNoticesPending() const { return workNoticesPending; }
    void WorkNoticeAnswered();
    // Nothing goes out without the network: no notice will be answered.
    void ForgetWorkNotices() { workNoticesPending = 0; }
    // The next stop ends work quietly: no stop notice pops up.
    void QuietNextStop() { stopPopupShown = false; }

    void Ask(Request request);
    // Ends tracking at once, without asking whether it runs (sign-out, quit).
    void Stop();
    // Makes the team of this short name current and asks for a memo.
    void SetTeam(const QString& shortTeamName);
    // The tray's and the team menu's choice: stops on an empty or the current team, else
    // switches to that team.
    void ChangeTeam(const QString& shortTeamName);
    void OnTeamMenuClick(QAction* action);
    // Worked time counts from 00:00:00 again.
    void ResetWorkingTime();
    void Tick();

private:
    void Start();
    void ShowStoppedPopup();
    void ShowState();
    void UncheckTeamMenu();

    Services services;
    Widgets ui;
    Hooks hooks;
    QTimer ticks;
    bool tracking = false;
    bool stopPopupShown = true; // at the next stop
    QTime workingTime;
    int workNoticesPending = 0;
};
