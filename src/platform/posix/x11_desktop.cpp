#include "platform/posix/x11_desktop.h"

#include <X11/Xatom.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include <chrono>

#include "platform/posix/x11_guard.h"

namespace {

// The names themes give the normal arrow (the classic one, and the one of the newer naming).
constexpr const char* kArrowNames[] = {"left_ptr", "default"};
// After the server went away, how often a new connection is tried.
constexpr std::int64_t kRetryMs = 3000;

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

struct X11Desktop::Connection {
    Display* display = nullptr;
    bool lost = false;  // set by Xlib inside one of our calls when the server went away

    static void OnLost(Display*, void* self) { static_cast<Connection*>(self)->lost = true; }
};

X11Desktop::X11Desktop(std::string displayName) : displayName_(std::move(displayName)) {}

X11Desktop::~X11Desktop() {
    std::lock_guard<std::mutex> guard(lock_);
    Drop();
}

X11Desktop::Connection* X11Desktop::Ready() {
    if (connection_ && connection_->lost) Drop();
    if (connection_) return connection_.get();
    if (NowMs() < nextAttemptMs_) return nullptr;
    nextAttemptMs_ = NowMs() + kRetryMs;
    Display* display = XOpenDisplay(displayName_.empty() ? nullptr : displayName_.c_str());
    if (display == nullptr) return nullptr;
    connection_ = std::make_unique<Connection>();
    connection_->display = display;
    // Windows vanish between a look-up and their use: such failures are expected, not logged.
    GuardDisplay(display, nullptr);
    XSetIOErrorExitHandler(display, &Connection::OnLost, connection_.get());
    return connection_.get();
}

void X11Desktop::Drop() {
    if (!connection_) return;
    XCloseDisplay(connection_->display);
    UnguardDisplay(connection_->display);
    connection_.reset();
    // The server's cursors went with it (or will be closed with this connection).
    arrowReplaced_ = false;
}

bool X11Desktop::WindowRect(std::uint64_t window, ::WindowRect* rect) {
    std::lock_guard<std::mutex> guard(lock_);
    Connection* c = Ready();
    if (c == nullptr || window == 0) return false;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(c->display, window, &attributes) || c->lost) return false;
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(c->display, window, attributes.root, 0, 0, &x, &y, &child) ||
        c->lost) {
        return false;
    }
    *rect = ::WindowRect{x, y, x + attributes.width, y + attributes.height};
    return true;
}

void X11Desktop::Activate(std::uint64_t window) {
    std::lock_guard<std::mutex> guard(lock_);
    Connection* c = Ready();
    if (c == nullptr || window == 0) return;
    Display* d = c->display;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, window, &attributes) || c->lost) return;
    if (attributes.map_state != IsViewable) return;
    // A window manager that implements the EWMH is asked (as a pager would ask, so that it does
    // not refuse a focus change the user did not make); without one the window is raised and
    // focused directly.
    Atom active = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
    Atom supported = XInternAtom(d, "_NET_SUPPORTED", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool managed = false;
    if (XGetWindowProperty(d, attributes.root, supported, 0, 4096, False, XA_ATOM, &type, &format,
                           &count, &after, &data) == Success &&
        data != nullptr) {
        const Atom* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count && !managed; ++i) managed = atoms[i] == active;
        XFree(data);
    }
    if (managed) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = active;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;  // source: a pager
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(d, attributes.root, False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
    } else {
        XRaiseWindow(d, window);
        XSetInputFocus(d, window, RevertToParent, CurrentTime);
    }
    XSync(d, False);
}

bool X11Desktop::ReplaceArrow(const CursorImage& image) {
    std::lock_guard<std::mutex> guard(lock_);
    Connection* c = Ready();
    if (c == nullptr || image.pixels.empty()) return false;
    Display* d = c->display;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XFixesQueryExtension(d, &eventBase, &errorBase) ||
        !XFixesQueryVersion(d, &major, &minor) || major < 2) {
        return false;
    }
    XcursorImage* picture = XcursorImageCreate(image.width, image.height);
    if (picture == nullptr) return false;
    picture->xhot = static_cast<XcursorDim>(image.hotX);
    picture->yhot = static_cast<XcursorDim>(image.hotY);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) picture->pixels[i] = image.pixels[i];
    // The server puts the new cursor wherever a cursor of the name was in use, so the pen
    // carries the name on: that is how RestoreArrow finds those places again.
    for (const char* name : kArrowNames) {
        Cursor pen = XcursorImageLoadCursor(d, picture);
        if (pen == 0) continue;
        XFixesSetCursorName(d, pen, name);
        XFixesChangeCursorByName(d, pen, name);
        XFreeCursor(d, pen);  // the windows that show it keep it
    }
    XcursorImageDestroy(picture);
    XSync(d, False);
    if (c->lost) return false;
    arrowReplaced_ = true;
    return true;
}

void X11Desktop::RestoreArrow() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!arrowReplaced_) return;
    Connection* c = Ready();
    if (c == nullptr) return;
    Display* d = c->display;
    const char* theme = XcursorGetTheme(d);
    int size = XcursorGetDefaultSize(d);
    for (const char* name : kArrowNames) {
        XcursorImages* images = XcursorLibraryLoadImages(name, theme, size);
        if (images == nullptr) continue;
        Cursor arrow = XcursorImagesLoadCursor(d, images);
        XcursorImagesDestroy(images);
        if (arrow == 0) continue;
        XFixesSetCursorName(d, arrow, name);
        XFixesChangeCursorByName(d, arrow, name);
        XFreeCursor(d, arrow);
    }
    XSync(d, False);
    arrowReplaced_ = false;
}
