// The display's ICC profile, as a colour manager of the desktop publishes it:
// on X11 the _ICC_PROFILE property of the first screen's root window. The
// app layer reads it at start and when colour management is switched on,
// and hands it to the engine's colour setting. GUI thread.
#pragma once

#include <QByteArray>

namespace sq::platform {

// The profile's bytes; empty when the platform is not X11 (offscreen,
// Wayland), no colour manager set one, or the property cannot be read:
// then the display is taken as sRGB.
QByteArray displayIccProfile();

// The _ICC_PROFILE property of the first screen of the X display named
// display (nullptr: $DISPLAY), over a connection of its own; empty when
// there is none or the server cannot be reached.
QByteArray x11IccProfile(const char* display);

} // namespace sq::platform
