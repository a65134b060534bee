#include "ChatConnection.h"

// Linked into the build's programs other than the client (tests, benchmarks): they make chat
// connections from the chat module where the build puts it, as the client finds it beside its
// binary.
static const bool chatModuleInBuild = (ChatConnection::UseModuleAt(CHAT_MODULE_PATH), true);
