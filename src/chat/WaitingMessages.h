#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// Chat messages that came before the roster that names their senders, kept in the order they
// came until it does. Bounded in messages and in text: a sender cannot fill the memory.
class WaitingMessages
{
public:
    static constexpr int maxMessages = 200;
    static constexpr qint64 maxCharacters = 4 * 1024 * 1024;

    struct Message
    {
        QString from; // the sender's full address
        QString text;
        QDateTime sentAt; // local time
    };

    // Keeps `message` after the others; false, keeping nothing, when that would pass a bound.
    bool Add(const Message& message);
    // The messages in the order they came; none wait after.
    QList<Message> Take();

private:
    QList<Message> messages;
    qint64 characters = 0;
};
