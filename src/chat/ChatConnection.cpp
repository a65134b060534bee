#include "ChatConnection.h"

#include "InstallLayout.h"
#include "LogCategories.h"

#include <QCoreApplication>
#include <QHash>
#include <QLibrary>
#include <QLoggingCategory>

namespace {

QString& ModuleOverride()
{
    static QString path;
    return path;
}

// The maker of the module at `path`, loaded once and kept for the whole run; null when it
// cannot be loaded, which is said once.
ChatModule::CreateFunction ModuleMaker(const QString& path)
{
    static QHash<QString, ChatModule::CreateFunction> loaded;
    if (loaded.contains(path))
        return loaded.value(path);
    QLibrary library(path);
    ChatModule::CreateFunction create = nullptr;
    if (!library.load()) {
        qCWarning(chatConnectionLog).noquote()
            << "Chat is off: its module cannot be loaded:" << library.errorString();
    } else {
        create
            = reinterpret_cast<ChatModule::CreateFunction>(library.resolve(ChatModule::createName));
        if (!create)
            qCWarning(chatConnectionLog).noquote()
                << "Chat is off: the module" << library.fileName() << "lacks its entry";
    }
    loaded.insert(path, create);
    return create;
}

} // namespace

ChatConnection::ChatConnection(QObject* parent) : QObject(parent) { }

ChatConnection::~ChatConnection() = default;

QString ChatConnection::ModulePath(const QString& programFolder)
{
    return programFolder + QLatin1Char('/') + QLatin1String(MOVARELQUINTASH_MODULES_FROM_BINDIR)
        + QLatin1Char('/') + QLatin1String(ChatModule::fileName);
}

void ChatConnection::UseModuleAt(const QString& path)
{
    ModuleOverride() = path;
}

ChatSession* ChatConnection::Session()
{
    if (session)
        return session.get();
    const ChatModule::CreateFunction create = ModuleMaker(ModuleOverride().isEmpty()
            ? ModulePath(QCoreApplication::applicationDirPath())
            : ModuleOverride());
    if (!create)
        return nullptr;
    ChatSession::Events events;
    events.connectionChanged = [this](bool connected) { emit OnConnectionStateChange(connected); };
    events.messageReceived = [this](const QString& from, const QString& text,
                                 const QDateTime& sentAt) { emit MessageRecived(from, text, sentAt); };
    events.failed = [this] { emit CatchXmppError(); };
    session.reset(create(std::move(events)));
    return session.get();
}

void ChatConnection::connectToServer(const QString& jid, const QString& password)
{
    if (ChatSession* made = Session())
        made->ConnectToServer(jid, password);
}

void ChatConnection::AcceptMessages()
{
    if (ChatSession* made = Session())
        made->AcceptMessages();
}

void ChatConnection::disconnectFromServer()
{
    // Never connected: nothing to end, and no module to load for it.
    if (session)
        session->Disconnect();
}

bool ChatConnection::isConnected() const
{
    return session && session->IsConnected();
}

bool ChatConnection::SendTo(const QString& userName, const QString& text)
{
    return session && session->SendTo(userName, text);
}

QObject* ChatConnection::Client() const
{
    return session ? session->Client() : nullptr;
}
