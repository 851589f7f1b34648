#include "platform/posix/x11_guard.h"

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "support/log.h"

namespace {

struct Guarded {
    Display* display;
    const char* purpose;
};

std::mutex g_lock;
std::vector<Guarded> g_displays;
std::atomic<XIOErrorHandler> g_previousIoHandler{nullptr};
std::atomic<XErrorHandler> g_previousErrorHandler{nullptr};

// Whether the display is ours, and what it is for.
bool Find(Display* display, const char** purpose) {
    std::lock_guard<std::mutex> guard(g_lock);
    auto it = std::find_if(g_displays.begin(), g_displays.end(),
                           [&](const Guarded& g) { return g.display == display; });
    if (it == g_displays.end()) return false;
    *purpose = it->purpose;
    return true;
}

// Returning lets Xlib go on to the connection's own exit handler (XSetIOErrorExitHandler).
int OnIoError(Display* display) {
    const char* purpose = nullptr;
    if (Find(display, &purpose)) return 0;
    XIOErrorHandler previous = g_previousIoHandler.load();
    return previous ? previous(display) : 0;
}

int OnXError(Display* display, XErrorEvent* error) {
    const char* purpose = nullptr;
    if (Find(display, &purpose)) {
        if (purpose != nullptr) {
            LogPrintf("X error %d on request %d.%d while %s.\n", error->error_code,
                      error->request_code, error->minor_code, purpose);
        }
        return 0;
    }
    XErrorHandler previous = g_previousErrorHandler.load();
    return previous ? previous(display, error) : 0;
}

}  // namespace

void GuardDisplay(Display* display, const char* purpose) {
    static std::once_flag once;
    std::call_once(once, [] {
        signal(SIGPIPE, SIG_IGN);
        g_previousIoHandler = XSetIOErrorHandler(OnIoError);
        g_previousErrorHandler = XSetErrorHandler(OnXError);
    });
    std::lock_guard<std::mutex> guard(g_lock);
    g_displays.push_back({display, purpose});
}

void UnguardDisplay(Display* display) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_displays.erase(std::remove_if(g_displays.begin(), g_displays.end(),
                                    [&](const Guarded& g) { return g.display == display; }),
                     g_displays.end());
}
