#include "app/posix/run_mode.h"

#include <cstring>

#include "platform/posix/x11_display.h"

bool HeadlessRequested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) return true;
    }
    return false;
}

bool UseDesktopFace(bool faceBuiltIn, int argc, char** argv) {
    // The display is tried last: connecting costs a round trip, and a server without one only
    // wants the service.
    return faceBuiltIn && !HeadlessRequested(argc, argv) && X11DisplayReachable();
}
