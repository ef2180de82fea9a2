// X atoms by name, for the few places that speak to the X server through
// xcb themselves (the display's profile, the drag data, the X tests' tools).
#pragma once

#include <xcb/xcb.h>

namespace sq::platform {

// The atom of NAME (one round trip); XCB_ATOM_NONE where the server gives
// none, or, with onlyIfExists, where no client has made it yet.
xcb_atom_t internAtom(xcb_connection_t* c, const char* name, bool onlyIfExists = false);

} // namespace sq::platform
