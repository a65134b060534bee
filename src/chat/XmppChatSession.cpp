#include "XmppChatSession.h"

#include "ChatClient.h"
#include "ThreadPriority.h"

#include <QThread>
#include <QXmppConfiguration.h>
#include <QXmppLogger.h>
#include <QXmppMessage.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>

namespace {

// The longest a send waits for the chat thread before it counts as not sent. The thread does no
// more than set up a socket at a time: only a thread that hangs keeps a send waiting this long.
constexpr std::chrono::seconds sendWait { 3 };

// A thread whose run makes the client, turns the event loop until quit, and then ends the
// connection and frees the client: all of it on this thread, where the client's sockets and
// timers live.
class ClientThread : public QThread
{
public:
    // `wire` connects the client once it is made; `inbox`, moved here, takes the commands.
    ClientThread(std::function<void(ChatClient&)> wire, QObject* inbox)
        : wire(std::move(wire)), inbox(inbox)
    {
        setObjectName(QStringLiteral("chat"));
        inbox->moveToThread(this);
    }

    // The client, once the thread has made it (waits for that).
    ChatClient* Client() const { return made.get(); }
    void WaitUntilMade() const { made.wait(); }

protected:
    void run() override
    {
        ThreadPriority::MakeThisThreadBackground();
        // Made here: the library sets up TLS as the client is built.
        ChatClient client;
        // Its log would be queued to the library's logger on the GUI thread, stanza by stanza,
        // for a logger that logs nothing.
        client.setLogger(nullptr);
        wire(client);
        promise.set_value(&client);
        exec();
        client.disconnectFromServer();
        // Commands still queued are dropped with it; a send among them counts as not sent.
        delete inbox;
    }

private:
    std::function<void(ChatClient&)> wire;
    QObject* inbox;
    std::promise<ChatClient*> promise;
    std::shared_future<ChatClient*> made = promise.get_future().share();
};

// The session runs its ChatClient on a thread of its own ("chat"): connecting, the library's
// reconnection tries and their failures hold up that thread, never the GUI. Commands go to it
// as queued calls, in order; what the client says comes back to the GUI thread the same way,
// in the order it was said.
class XmppChatSession : public ChatSession
{
public:
    explicit XmppChatSession(Events events)
        : relays(std::in_place),
          thread([this, events = std::move(events)](ChatClient& client) { Wire(client, events); },
              inbox)
    {
        // The library makes its logger on first use and never frees it: made here, on the
        // thread that lasts, rather than on a chat thread that ends.
        QXmppLogger::getLogger();
        thread.start();
    }

    ~XmppChatSession() override
    {
        // The client is wired to the relays only once it is made.
        thread.WaitUntilMade();
        // Removes what the client said and the GUI thread has not yet heard: nothing reaches
        // the callbacks from here on.
        relays.reset();
        thread.quit();
        thread.wait();
    }

    void ConnectToServer(const QString& jid, const QString& password) override
    {
        // Made here, where the system's CA list read by the program is at hand: the module's
        // own reading, off the GUI thread, would parse the system's store a second time.
        Post([config = ChatClient::ConfigurationFor(jid, password)](
                 ChatClient& client) { client.connectWith(config); });
    }

    void AcceptMessages() override
    {
        Post([](ChatClient& client) { client.AcceptMessages(); });
    }

    void Disconnect() override
    {
        connected = false;
        Post([](ChatClient& client) { client.disconnectFromServer(); });
    }

    bool IsConnected() const override { return connected; }

    bool SendTo(const QString& userName, const QString& text) override
    {
        if (!connected)
            return false;
        auto sent = std::make_shared<std::promise<bool>>();
        auto hand = std::make_shared<std::atomic<Hand>>(Hand::Waiting);
        std::future<bool> outcome = sent->get_future();
        Post([sent, hand, userName, text](ChatClient& client) {
            Hand waiting = Hand::Waiting;
            if (hand->compare_exchange_strong(waiting, Hand::Taken))
                sent->set_value(Send(client, userName, text));
        });
        Hand waiting = Hand::Waiting;
        if (outcome.wait_for(sendWait) == std::future_status::timeout
            && hand->compare_exchange_strong(waiting, Hand::Abandoned))
            return false;
        try {
            return outcome.get();
        } catch (const std::future_error&) {
            // Dropped as the thread ended.
            return false;
        }
    }

    QObject* Client() override { return thread.Client(); }

private:
    // Who decides about a waiting send: the chat thread taking it, or the caller giving up.
    enum class Hand
    {
        Waiting,
        Taken,
        Abandoned
    };

    // On the chat thread.
    void Wire(ChatClient& client, const Events& events)
    {
        // First, so that the state is known before the GUI thread hears of it.
        QObject::connect(&client, &ChatClient::OnConnectionStateChange, &client,
            [this](bool state) { connected = state; });
        // Each relay holds its own callback: a callback may end the session.
        QObject::connect(&client, &ChatClient::OnConnectionStateChange, &*relays,
            [relay = events.connectionChanged](bool state) { relay(state); });
        QObject::connect(&client, &ChatClient::MessageRecived, &*relays,
            [relay = events.messageReceived](const QString& from, const QString& text,
                const QDateTime& sentAt) { relay(from, text, sentAt); });
        QObject::connect(
            &client, &ChatClient::CatchXmppError, &*relays, [relay = events.failed] { relay(); });
        chatClient = &client;
    }

    // Runs `command` on the chat thread, after the ones posted before it.
    void Post(std::function<void(ChatClient&)> command)
    {
        QMetaObject::invokeMethod(
            inbox, [this, command = std::move(command)] { command(*chatClient); },
            Qt::QueuedConnection);
    }

    static bool Send(ChatClient& client, const QString& userName, const QString& text)
    {
        if (!client.isConnected())
            return false;
        QXmppMessage message(
            QString(), userName + QLatin1Char('@') + client.configuration().domain(), text);
        message.setType(QXmppMessage::Chat);
        return client.sendPacket(message);
    }

    // Lives on the GUI thread: the context of the relays, whose queued calls end with it.
    std::optional<QObject> relays;
    // Written by the chat thread before its event loop runs; read only there.
    ChatClient* chatClient = nullptr;
    std::atomic<bool> connected { false };
    // Takes the commands on the chat thread, which frees it.
    QObject* const inbox = new QObject;
    ClientThread thread;
};

} // namespace

ChatSession* MakeXmppChatSession(ChatSession::Events events)
{
    return new XmppChatSession(std::move(events));
}
