#pragma once

// The client's own threads that work for the GUI thread in the background (writing the logs and
// the cache, grabbing and encoding captures, the requests to the service, the chat connection)
// run below it. Woken by the GUI thread, such a worker was often put on the GUI thread's own
// processor and took it over there for milliseconds at a time, in the middle of a refresh or a
// capture. Below it, a worker neither takes over on waking nor holds the processor while the GUI
// thread has work; on an otherwise idle machine it runs at once on another processor.
namespace ThreadPriority {

// How much nicer than the GUI thread a background thread is.
constexpr int backgroundNiceness = 10;

// Puts the calling thread below the GUI thread; called first thing on each background thread.
void MakeThisThreadBackground();

// The calling thread's niceness (higher runs later).
int ThisThreadNiceness();

} // namespace ThreadPriority
