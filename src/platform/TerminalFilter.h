#pragma once

// What the client prints on its terminal is what a member can act on. The X connection reports
// an error when the client asks about one of its own windows that the server has just destroyed
// (a window manager's event about a snap window that closed a moment before, say): a race of
// the window system that costs nothing, so those lines are dropped. Everything else is passed to
// the handler that was installed before.
namespace TerminalFilter {

void Install();

} // namespace TerminalFilter
