#pragma once

#include <QList>
#include <QObject>
#include <QSocketNotifier>

#include <memory>

struct _XDisplay;

// The system tray of a desktop panel, on the test's display: it takes the tray selection of
// the first screen and embeds every icon that asks to dock, side by side in a strip at the top
// right of the screen, where the test clicks them as a member would.
class TrayHost : public QObject
{
    Q_OBJECT
public:
    TrayHost();
    ~TrayHost() override;
    TrayHost(const TrayHost&) = delete;
    TrayHost& operator=(const TrayHost&) = delete;

    // False when the display cannot be opened or another tray holds the selection.
    bool Start();
    // The windows of the icons docked so far, oldest first.
    QList<unsigned long> Icons() const { return icons; }

private:
    void ReadEvents();

    _XDisplay* display = nullptr;
    unsigned long strip = 0;
    unsigned long opcode = 0;
    std::unique_ptr<QSocketNotifier> notifier;
    QList<unsigned long> icons;
};
