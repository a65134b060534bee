#include "SessionLockWatcher.h"

#include "LogCategories.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>

#include <unistd.h>

namespace {
const QString login1Service = QStringLiteral("org.freedesktop.login1");
const QString managerPath = QStringLiteral("/org/freedesktop/login1");
const QString managerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString sessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString userInterface = QStringLiteral("org.freedesktop.login1.User");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString ownUserPath = QStringLiteral("/org/freedesktop/login1/user/self");
} // namespace

SessionLockWatcher::SessionLockWatcher(const QDBusConnection& systemBus, QObject* parent)
    : QObject(parent), m_bus(systemBus)
{
    if (!m_bus.isConnected())
        return;
    // Everything is asked asynchronously: a slow or absent logind must not hold up the GUI.
    // Applications started by a systemd user manager are not in the session's scope, hence the
    // two fallbacks after the lookup by process.
    QDBusMessage byPid = QDBusMessage::createMethodCall(
        login1Service, managerPath, managerInterface, QStringLiteral("GetSessionByPID"));
    byPid << quint32(::getpid());
    WhenAnswered(m_bus.asyncCall(byPid), [this](const QDBusPendingCall& call) {
        QDBusPendingReply<QDBusObjectPath> reply = call;
        if (reply.isValid())
            Watch(reply.value().path());
        else if (reply.error().type() != QDBusError::ServiceUnknown)
            FindSessionById();
        else
            qCDebug(platformLog) << "No logind: the session is taken as unlocked";
    });
}

void SessionLockWatcher::FindSessionById()
{
    const QString id = qEnvironmentVariable("XDG_SESSION_ID");
    if (id.isEmpty()) {
        FindDisplaySession();
        return;
    }
    QDBusMessage byId = QDBusMessage::createMethodCall(
        login1Service, managerPath, managerInterface, QStringLiteral("GetSession"));
    byId << id;
    WhenAnswered(m_bus.asyncCall(byId), [this](const QDBusPendingCall& call) {
        QDBusPendingReply<QDBusObjectPath> reply = call;
        if (reply.isValid())
            Watch(reply.value().path());
        else
            FindDisplaySession();
    });
}

void SessionLockWatcher::FindDisplaySession()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        login1Service, ownUserPath, propertiesInterface, QStringLiteral("Get"));
    get << userInterface << QStringLiteral("Display");
    WhenAnswered(m_bus.asyncCall(get), [this](const QDBusPendingCall& call) {
        QDBusPendingReply<QDBusVariant> reply = call;
        if (!reply.isValid()) {
            qCDebug(platformLog) << "No logind session for this process:"
                                 << reply.error().message();
            return;
        }
        // The user's graphical session as (id, object path).
        const QDBusArgument argument = reply.value().variant().value<QDBusArgument>();
        QString id;
        QDBusObjectPath path;
        argument.beginStructure();
        argument >> id >> path;
        argument.endStructure();
        if (!id.isEmpty())
            Watch(path.path());
    });
}

void SessionLockWatcher::Watch(const QString& sessionPath)
{
    m_sessionPath = sessionPath;
    // Subscribe before reading so that no change falls between the two.
    m_bus.connect(login1Service, m_sessionPath, propertiesInterface,
        QStringLiteral("PropertiesChanged"), this,
        SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList)));
    ReadProperties();
}

void SessionLockWatcher::ReadProperties()
{
    QDBusMessage getAll = QDBusMessage::createMethodCall(
        login1Service, m_sessionPath, propertiesInterface, QStringLiteral("GetAll"));
    getAll << sessionInterface;
    WhenAnswered(m_bus.asyncCall(getAll), [this](const QDBusPendingCall& call) {
        QDBusPendingReply<QVariantMap> reply = call;
        if (reply.isValid())
            Apply(reply.value());
        else
            qCDebug(platformLog) << "Cannot read the logind session" << reply.error().message();
    });
}

void SessionLockWatcher::OnPropertiesChanged(
    const QString& interface, const QVariantMap& changed, const QStringList& invalidated)
{
    if (interface != sessionInterface)
        return;
    Apply(changed);
    if (invalidated.contains(QLatin1String("LockedHint"))
        || invalidated.contains(QLatin1String("Active")))
        ReadProperties();
}

void SessionLockWatcher::Apply(const QVariantMap& properties)
{
    if (properties.contains(QLatin1String("LockedHint")))
        m_lockedHint = properties.value(QStringLiteral("LockedHint")).toBool();
    if (properties.contains(QLatin1String("Active")))
        m_active = properties.value(QStringLiteral("Active")).toBool();
}

void SessionLockWatcher::WhenAnswered(
    const QDBusPendingCall& call, const std::function<void(const QDBusPendingCall&)>& handler)
{
    auto* answer = new QDBusPendingCallWatcher(call, this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
        [handler](QDBusPendingCallWatcher* finished) {
            handler(*finished);
            finished->deleteLater();
        });
}
