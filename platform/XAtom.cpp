#include "platform/XAtom.h"

#include <cstdlib>
#include <cstring>

namespace sq::platform {

xcb_atom_t internAtom(xcb_connection_t* c, const char* name, bool onlyIfExists)
{
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, onlyIfExists, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

} // namespace sq::platform
