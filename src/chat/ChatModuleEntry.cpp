#include "XmppChatSession.h"

#include <QtGlobal>

#include <type_traits>

// The chat module's one entry, which ChatConnection looks up by name.
extern "C" Q_DECL_EXPORT ChatSession* movarelquintash_chat_session_create(
    ChatSession::Events events)
{
    return MakeXmppChatSession(std::move(events));
}

static_assert(std::is_same_v<decltype(&movarelquintash_chat_session_create),
    ChatModule::CreateFunction>);
