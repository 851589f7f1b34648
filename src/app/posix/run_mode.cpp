#include "app/posix/run_mode.h"

#include "platform/posix/x11_display.h"

bool UseDesktopFace(bool faceBuiltIn, bool headless) {
    // The display is tried last: connecting costs a round trip, and a server without one only
    // wants the service.
    return faceBuiltIn && !headless && X11DisplayReachable();
}
