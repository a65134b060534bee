#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include <functional>

class QDBusPendingCall;

// Follows logind's view of the login session this process belongs to: locked (LockedHint) or
// switched away (not Active). The state is read once and then kept current from the session's
// PropertiesChanged signals, so asking is free. Where there is no logind the session is unlocked.
class SessionLockWatcher : public QObject
{
    Q_OBJECT
public:
    explicit SessionLockWatcher(const QDBusConnection& systemBus, QObject* parent = nullptr);

    bool IsLocked() const { return m_lockedHint || !m_active; }
    // The session's object path; empty until it is found (or when there is none).
    QString GetSessionPath() const { return m_sessionPath; }

private slots:
    void OnPropertiesChanged(
        const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void FindSessionById();
    void FindDisplaySession();
    void Watch(const QString& sessionPath);
    void ReadProperties();
    void Apply(const QVariantMap& properties);
    void WhenAnswered(
        const QDBusPendingCall& call, const std::function<void(const QDBusPendingCall&)>& handler);

    QDBusConnection m_bus;
    QString m_sessionPath;
    bool m_lockedHint = false;
    bool m_active = true;
};
