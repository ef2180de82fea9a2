#include "platform/DisplayProfile.h"
#include "platform/XAtom.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

// A profile larger than this is not a display's.
constexpr uint32_t kMaxProfileWords = (uint32_t(16) << 20) / 4;

QByteArray readProperty(xcb_connection_t* c, xcb_window_t root)
{
    const xcb_atom_t prop = sq::platform::internAtom(c, "_ICC_PROFILE", true);
    if (prop == XCB_ATOM_NONE) return {};
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, prop, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxProfileWords),
        nullptr);
    if (!reply) return {};
    QByteArray bytes;
    // A profile cut off at the cap is no profile.
    if (reply->format == 8 && reply->bytes_after == 0) {
        const int length = xcb_get_property_value_length(reply);
        if (length > 0)
            bytes = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)), length);
    }
    std::free(reply);
    return bytes;
}

} // namespace

namespace sq::platform {

QByteArray x11IccProfile(const char* display)
{
    int screen = 0;
    xcb_connection_t* c = xcb_connect(display, &screen);
    QByteArray bytes;
    if (c && !xcb_connection_has_error(c)) {
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
        // Profiles of further monitors (_ICC_PROFILE_1, ...) are not read:
        // the first screen's stands for the desktop.
        if (it.rem > 0) bytes = readProperty(c, it.data->root);
    }
    if (c) xcb_disconnect(c);
    return bytes;
}

QByteArray displayIccProfile()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return {};
    return x11IccProfile(nullptr);
}

} // namespace sq::platform
