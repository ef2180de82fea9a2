// Turns SIGTERM, SIGINT and SIGHUP (logout, kill, Ctrl+C) into a call on the
// GUI thread, so the program can close its main window and save its files
// instead of dying with them unsaved. Install once, from the GUI thread.
#pragma once

#include <functional>

namespace sq::platform {

// The handler runs on the GUI thread's event loop, once per signal received.
// Returns false when the signals could not be hooked.
bool onTerminationRequest(std::function<void()> handler);

} // namespace sq::platform
