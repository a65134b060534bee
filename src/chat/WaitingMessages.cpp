#include "WaitingMessages.h"

#include <utility>

bool WaitingMessages::Add(const Message& message)
{
    if (messages.size() >= maxMessages || characters + message.text.size() > maxCharacters)
        return false;
    messages.append(message);
    characters += message.text.size();
    return true;
}

QList<WaitingMessages::Message> WaitingMessages::Take()
{
    characters = 0;
    return std::exchange(messages, {});
}
