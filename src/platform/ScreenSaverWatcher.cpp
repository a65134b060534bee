#include "ScreenSaverWatcher.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {
const QString service = QStringLiteral("org.freedesktop.ScreenSaver");
const QString path = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString interface = QStringLiteral("org.freedesktop.ScreenSaver");
} // namespace

ScreenSaverWatcher::ScreenSaverWatcher(const QDBusConnection& sessionBus, QObject* parent)
    : QObject(parent), m_bus(sessionBus)
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(service, path, interface, QStringLiteral("ActiveChanged"), this,
        SLOT(OnActiveChanged(bool)));
    QDBusMessage getActive
        = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("GetActive"));
    // Asking must not start a screen saver that the desktop does not run.
    getActive.setAutoStartService(false);
    auto* answer = new QDBusPendingCallWatcher(m_bus.asyncCall(getActive), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
        [this](QDBusPendingCallWatcher* finished) {
            QDBusPendingReply<bool> reply = *finished;
            if (reply.isValid())
                m_active = reply.value();
            finished->deleteLater();
        });
}

void ScreenSaverWatcher::OnActiveChanged(bool active)
{
    m_active = active;
}
