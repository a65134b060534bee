#pragma once

#include <QObject>

#include <signal.h>

class QSocketNotifier;

// SIGTERM (the session ending, a service manager stopping the client), SIGINT (Ctrl+C on its
// terminal) and SIGHUP (the terminal gone) would end the process on the spot, before the end of
// the run tells the service that work stopped and keeps the unsaved captures. While an instance
// lives they are caught instead and reported on the GUI thread as Received(). The first one
// gives the three back their default action, so a second one ends the process at once: someone
// pressing Ctrl+C again does not want to wait for the service. A signal ignored when the
// instance is made (SIGHUP under nohup) is left ignored. One instance at a time.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    static const char* Name(int signalNumber);

signals:
    void Received(int signalNumber);

private:
    void ReadPending();

    QSocketNotifier* notifier = nullptr;
    struct sigaction previous[3];
};
