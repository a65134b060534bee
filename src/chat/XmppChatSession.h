#pragma once

#include "ChatSession.h"

// A chat session over ChatClient: what the chat module makes (ChatModule::createName), and what
// programs that link the XMPP library can make themselves.
ChatSession* MakeXmppChatSession(ChatSession::Events events);
