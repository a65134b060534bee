#pragma once

#include <QDBusConnection>
#include <QObject>

// Follows the desktop's screen saver service (org.freedesktop.ScreenSaver on the session bus): its
// state is asked once and then kept current from its ActiveChanged signal. Without the service
// the screen saver is taken as off.
class ScreenSaverWatcher : public QObject
{
    Q_OBJECT
public:
    explicit ScreenSaverWatcher(const QDBusConnection& sessionBus, QObject* parent = nullptr);

    bool IsActive() const { return m_active; }

private slots:
    void OnActiveChanged(bool active);

private:
    QDBusConnection m_bus;
    bool m_active = false;
};
