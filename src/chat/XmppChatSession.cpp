#include "XmppChatSession.h"

#include "ChatClient.h"

#include <QXmppConfiguration.h>
#include <QXmppMessage.h>

namespace {

class XmppChatSession : public ChatSession
{
public:
    explicit XmppChatSession(Events events)
    {
        QObject::connect(&client, &ChatClient::OnConnectionStateChange, &relays,
            [relay = events.connectionChanged](bool connected) { relay(connected); });
        QObject::connect(&client, &ChatClient::MessageRecived, &relays,
            [relay = events.messageReceived](const QString& from, const QString& text,
                const QDateTime& sentAt) { relay(from, text, sentAt); });
        QObject::connect(&client, &ChatClient::CatchXmppError, &relays,
            [relay = events.failed] { relay(); });
    }

    void ConnectToServer(const QString& jid, const QString& password) override
    {
        client.connectToServer(jid, password);
    }

    void AcceptMessages() override { client.AcceptMessages(); }
    void Disconnect() override { client.disconnectFromServer(); }
    bool IsConnected() const override { return client.isConnected(); }

    bool SendTo(const QString& userName, const QString& text) override
    {
        if (!client.isConnected())
            return false;
        QXmppMessage message(
            QString(), userName + QLatin1Char('@') + client.configuration().domain(), text);
        message.setType(QXmppMessage::Chat);
        return client.sendPacket(message);
    }

    QObject* Client() override { return &client; }

private:
    ChatClient client;
    // The context of the relays, gone before the client: what the client says as it goes
    // reaches no one.
    QObject relays;
};

} // namespace

ChatSession* MakeXmppChatSession(ChatSession::Events events)
{
    return new XmppChatSession(std::move(events));
}
