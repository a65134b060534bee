#include "ScreenSaverWatcher.h"
#include "SessionLockWatcher.h"

#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

namespace {
const QString sessionPath("/org/freedesktop/login1/session/_37");
}

// Stand-ins for logind and the desktop's screen saver on a private bus.
class FakeSession : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")
    Q_PROPERTY(bool LockedHint MEMBER lockedHint)
    Q_PROPERTY(bool Active MEMBER active)
public:
    explicit FakeSession(const QDBusConnection& bus) : m_bus(bus) { }

    void Change(const char* name, bool value)
    {
        setProperty(name, value);
        QDBusMessage changed = QDBusMessage::createSignal(
            sessionPath, "org.freedesktop.DBus.Properties", "PropertiesChanged");
        changed << QString("org.freedesktop.login1.Session")
                << QVariantMap { { QString(name), value } } << QStringList();
        m_bus.send(changed);
    }

    bool lockedHint = false;
    bool active = true;

private:
    QDBusConnection m_bus;
};

class FakeManager : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    bool knowsPid = true;
    QString sessionId;

public slots:
    QDBusObjectPath GetSessionByPID(uint pid)
    {
        if (!knowsPid || pid != uint(::getpid()))
            sendErrorReply("org.freedesktop.login1.NoSessionForPID", "no session");
        return QDBusObjectPath(sessionPath);
    }

    QDBusObjectPath GetSession(const QString& id)
    {
        if (id != sessionId)
            sendErrorReply("org.freedesktop.login1.NoSuchSession", "no such session");
        return QDBusObjectPath(sessionPath);
    }
};

// The user object answers only what the watcher asks: its graphical session as (id, path).
class FakeUser : public QDBusVirtualObject
{
public:
    QString introspect(const QString&) const override { return QString(); }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() != "Get" || message.arguments().value(1).toString() != "Display")
            return false;
        QDBusArgument display;
        display.beginStructure();
        display << QString("c2") << QDBusObjectPath(sessionPath);
        display.endStructure();
        connection.send(
            message.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(display)))));
        return true;
    }
};

class FakeScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    bool active = true;

public slots:
    bool GetActive() { return active; }

signals:
    void ActiveChanged(bool active);
};

class TestSessionWatchers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        const QString address
            = "unix:path=" + QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR")) + "/test-bus";
        m_daemon.start("dbus-daemon",
            { "--session", "--nofork", "--nopidfile", "--address=" + address,
                "--print-address=1" });
        QVERIFY(m_daemon.waitForReadyRead(5000));
        m_address = QString::fromLocal8Bit(m_daemon.readLine()).trimmed();
        QVERIFY(!m_address.isEmpty());
    }

    void cleanupTestCase()
    {
        m_daemon.terminate();
        m_daemon.waitForFinished(3000);
    }

    void cleanup()
    {
        QDBusConnection::disconnectFromBus("service");
        QDBusConnection::disconnectFromBus("client");
        qunsetenv("XDG_SESSION_ID");
    }

    void withoutLogindTheSessionIsUnlocked()
    {
        SessionLockWatcher watcher(bus("client"));
        QVERIFY(!watcher.IsLocked());
        QTest::qWait(200);
        QVERIFY(!watcher.IsLocked());
        QCOMPARE(watcher.GetSessionPath(), QString());

        SessionLockWatcher offline(QDBusConnection("nothing"));
        QVERIFY(!offline.IsLocked());
    }

    void followsLockAndSessionSwitch()
    {
        QDBusConnection service = bus("service");
        FakeManager manager;
        FakeSession session(service);
        session.lockedHint = true; // locked already when the client starts
        publishLogind(service, &manager, &session);

        SessionLockWatcher watcher(bus("client"));
        QTRY_VERIFY(watcher.IsLocked());
        QCOMPARE(watcher.GetSessionPath(), sessionPath);
        session.Change("LockedHint", false);
        QTRY_VERIFY(!watcher.IsLocked());
        session.Change("Active", false); // switched to another user
        QTRY_VERIFY(watcher.IsLocked());
        session.Change("Active", true);
        QTRY_VERIFY(!watcher.IsLocked());
    }

    void findsTheSessionOfAProcessOutsideIt()
    {
        QDBusConnection service = bus("service");
        FakeManager manager;
        manager.knowsPid = false;
        manager.sessionId = "c2";
        FakeSession session(service);
        session.active = false;
        publishLogind(service, &manager, &session);

        qputenv("XDG_SESSION_ID", "c2");
        SessionLockWatcher byId(bus("client"));
        QTRY_COMPARE(byId.GetSessionPath(), sessionPath);
        QTRY_VERIFY(byId.IsLocked());

        // Without a session id: the user's graphical session.
        FakeUser user;
        QVERIFY(service.registerVirtualObject("/org/freedesktop/login1/user/self", &user));
        qunsetenv("XDG_SESSION_ID");
        SessionLockWatcher byUser(bus("client"));
        QTRY_COMPARE(byUser.GetSessionPath(), sessionPath);
        QTRY_VERIFY(byUser.IsLocked());
    }

    void followsTheScreenSaver()
    {
        QDBusConnection service = bus("service");
        FakeScreenSaver saver;
        QVERIFY(service.registerObject("/org/freedesktop/ScreenSaver", &saver,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        QVERIFY(service.registerService("org.freedesktop.ScreenSaver"));

        ScreenSaverWatcher watcher(bus("client"));
        QTRY_VERIFY(watcher.IsActive());
        emit saver.ActiveChanged(false);
        QTRY_VERIFY(!watcher.IsActive());
        emit saver.ActiveChanged(true);
        QTRY_VERIFY(watcher.IsActive());
    }

    void withoutAScreenSaverServiceItIsOff()
    {
        ScreenSaverWatcher watcher(bus("client"));
        QTest::qWait(200);
        QVERIFY(!watcher.IsActive());
    }

private:
    QDBusConnection bus(const QString& name)
    {
        return QDBusConnection::connectToBus(m_address, name);
    }

    void publishLogind(QDBusConnection& service, FakeManager* manager, FakeSession* session)
    {
        QVERIFY(service.registerObject(
            "/org/freedesktop/login1", manager, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerObject(sessionPath, session, QDBusConnection::ExportAllProperties));
        QVERIFY(service.registerService("org.freedesktop.login1"));
    }

    QProcess m_daemon;
    QString m_address;
};

QTEST_GUILESS_MAIN(TestSessionWatchers)
#include "tst_sessionwatchers.moc"
