#include "x11_fixture.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "wait_until.h"

extern char** environ;

std::string SharedDisplayName() {
    if (const char* display = std::getenv("DISPLAY"); display != nullptr && *display != '\0')
        return display;
    std::ifstream in(CORVANE_BINARY_DIR "/xvfb/display");
    std::string number;
    if (in >> number) return ":" + number;
    return std::string();
}

std::vector<int> KeysDown(Display* display) {
    char keys[32];
    XQueryKeymap(display, keys);
    std::vector<int> down;
    for (int code = 8; code < 256; ++code) {
        if (keys[code / 8] & (1 << (code % 8))) down.push_back(code);
    }
    return down;
}

unsigned ButtonsDown(Display* display) {
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y,
                  &mask);
    return mask & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask);
}

SeenEvent KeyEvent(int type, KeySym sym) {
    SeenEvent event;
    event.type = type;
    event.sym = sym;
    return event;
}

SeenEvent ButtonEvent(int type, unsigned button) {
    SeenEvent event;
    event.type = type;
    event.detail = button;
    return event;
}

std::string Describe(const SeenEvent& event) {
    char text[64];
    switch (event.type) {
        case KeyPress:
        case KeyRelease: {
            const char* what = event.type == KeyPress ? "press" : "release";
            // Named keysyms by name; Unicode ones (for which Xlib would allocate a name) in hex.
            const char* name = event.sym != NoSymbol && event.sym < 0x01000000
                                   ? XKeysymToString(event.sym)
                                   : nullptr;
            if (name != nullptr) {
                std::snprintf(text, sizeof text, "%s %s", what, name);
            } else {
                std::snprintf(text, sizeof text, "%s 0x%lx", what, event.sym);
            }
            break;
        }
        case ButtonPress:
        case ButtonRelease:
            std::snprintf(text, sizeof text, "%s %u",
                          event.type == ButtonPress ? "button-press" : "button-release",
                          event.detail);
            break;
        case MotionNotify:
            std::snprintf(text, sizeof text, "motion %d,%d", event.x, event.y);
            break;
        default:
            std::snprintf(text, sizeof text, "event %d", event.type);
            break;
    }
    return text;
}

std::vector<std::string> Describe(const std::vector<SeenEvent>& events) {
    std::vector<std::string> out;
    for (const SeenEvent& event : events) out.push_back(Describe(event));
    return out;
}

TestWindow::TestWindow(const std::string& displayName) {
    display_ = XOpenDisplay(displayName.c_str());
    if (display_ == nullptr) return;
    int screen = DefaultScreen(display_);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | StructureNotifyMask;
    Window window =
        XCreateWindow(display_, RootWindow(display_, screen), 0, 0, DisplayWidth(display_, screen),
                      DisplayHeight(display_, screen), 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWOverrideRedirect | CWEventMask, &attributes);
    XMapRaised(display_, window);
    Deadline deadline(std::chrono::seconds(5));
    for (;;) {
        XEvent event;
        if (XCheckTypedWindowEvent(display_, window, MapNotify, &event)) break;
        if (deadline.Passed()) return;
        pollfd fd{ConnectionNumber(display_), POLLIN, 0};
        poll(&fd, 1, deadline.RemainingMs());
    }
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
    window_ = window;
}

TestWindow::~TestWindow() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

std::optional<SeenEvent> TestWindow::Next(std::chrono::milliseconds timeout) {
    Deadline deadline(timeout);
    for (;;) {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            SeenEvent seen;
            seen.type = event.type;
            switch (event.type) {
                case KeyPress:
                case KeyRelease: {
                    seen.detail = event.xkey.keycode;
                    seen.state = event.xkey.state;
                    seen.x = event.xkey.x_root;
                    seen.y = event.xkey.y_root;
                    // Asked of the server now, not of Xlib's copy of the map, which is only as
                    // fresh as the last mapping event this connection has handled.
                    int per = 0;
                    KeySym* syms = XGetKeyboardMapping(
                        display_, static_cast<KeyCode>(event.xkey.keycode), 1, &per);
                    if (syms != nullptr) {
                        seen.sym = per > 0 ? syms[0] : NoSymbol;
                        XFree(syms);
                    }
                    return seen;
                }
                case ButtonPress:
                case ButtonRelease:
                    seen.detail = event.xbutton.button;
                    seen.state = event.xbutton.state;
                    seen.x = event.xbutton.x_root;
                    seen.y = event.xbutton.y_root;
                    return seen;
                case MotionNotify:
                    seen.x = event.xmotion.x_root;
                    seen.y = event.xmotion.y_root;
                    return seen;
                case MappingNotify:
                    XRefreshKeyboardMapping(&event.xmapping);
                    break;
                default:
                    break;
            }
        }
        if (deadline.Passed()) return std::nullopt;
        pollfd fd{ConnectionNumber(display_), POLLIN, 0};
        poll(&fd, 1, deadline.RemainingMs());
    }
}

std::vector<SeenEvent> TestWindow::EventsUntilMarker(InputInjector& injector, bool withMotion) {
    injector.SetCursorPosition(kMarkerX - 1, kMarkerY);
    injector.SetCursorPosition(kMarkerX, kMarkerY);
    injector.Flush();
    std::vector<SeenEvent> events;
    for (;;) {
        std::optional<SeenEvent> event = Next();
        if (!event) {
            ADD_FAILURE() << "the marker motion did not arrive; events so far: "
                          << ::testing::PrintToString(Describe(events));
            return events;
        }
        if (event->type == MotionNotify) {
            if (event->x == kMarkerX && event->y == kMarkerY) return events;
            if (event->x == kMarkerX - 1 && event->y == kMarkerY) continue;
            if (!withMotion) continue;
        }
        events.push_back(*event);
    }
}

std::pair<int, int> TestWindow::Pointer() {
    Window root = 0, child = 0;
    int rootX = -1, rootY = -1, x = 0, y = 0;
    unsigned mask = 0;
    XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rootX, &rootY, &x, &y,
                  &mask);
    return {rootX, rootY};
}

std::vector<KeySym> TestWindow::KeyboardMap(int* minKeycode, int* perKeycode) {
    int min = 0, max = 0, per = 0;
    XDisplayKeycodes(display_, &min, &max);
    KeySym* syms = XGetKeyboardMapping(display_, static_cast<KeyCode>(min), max - min + 1, &per);
    std::vector<KeySym> map;
    if (syms != nullptr) {
        map.assign(syms, syms + (max - min + 1) * per);
        XFree(syms);
    }
    if (minKeycode) *minKeycode = min;
    if (perKeycode) *perKeycode = per;
    return map;
}

KeyCode TestWindow::KeycodeOf(const std::vector<KeySym>& map, KeySym sym) {
    int min = 0, max = 0;
    XDisplayKeycodes(display_, &min, &max);
    int per = static_cast<int>(map.size()) / (max - min + 1);
    for (int code = min; code <= max; ++code) {
        if (map[static_cast<size_t>((code - min) * per)] == sym) return static_cast<KeyCode>(code);
    }
    return 0;
}

bool XvfbProcess::Start(int number, const std::string& geometry) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    // Xvfb writes its display number to descriptor 3 once it accepts clients.
    int readEnd = fcntl(fds[0], F_DUPFD_CLOEXEC, 10);
    int writeEnd = fcntl(fds[1], F_DUPFD_CLOEXEC, 10);
    close(fds[0]);
    close(fds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd, 3);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = {"Xvfb"};
    if (number >= 0) args.push_back(":" + std::to_string(number));
    for (const char* arg : {"-displayfd", "3", "-noreset", "-nolisten", "tcp", "-screen", "0"})
        args.push_back(arg);
    args.push_back(geometry);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int spawned = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(writeEnd);
    if (spawned != 0) {
        pid_ = -1;
        close(readEnd);
        return false;
    }
    std::string text;
    Deadline deadline(std::chrono::seconds(10));
    while (text.find('\n') == std::string::npos && !deadline.Passed()) {
        pollfd fd{readEnd, POLLIN, 0};
        if (poll(&fd, 1, deadline.RemainingMs()) <= 0) break;
        char buffer[32];
        ssize_t n = read(readEnd, buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    close(readEnd);
    if (text.find('\n') == std::string::npos) {
        Stop();
        return false;
    }
    number_ = std::atoi(text.c_str());
    return true;
}

void XvfbProcess::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

void X11Test::SetUp() {
    std::string name = SharedDisplayName();
    if (name.empty()) {
        GTEST_SKIP() << "no X display: DISPLAY is unset and the CTest fixture's Xvfb did not "
                        "write "
                     << CORVANE_BINARY_DIR "/xvfb/display (run through ctest)";
    }
    window_ = std::make_unique<TestWindow>(name);
    ASSERT_TRUE(window_->ok()) << "cannot open X display " << name << " or map a window there";
    // Keys or buttons an earlier test process left down would change what this one sees.
    Display* display = window_->display();
    char keys[32];
    XQueryKeymap(display, keys);
    for (int code = 8; code < 256; ++code) {
        if (keys[code / 8] & (1 << (code % 8))) XTestFakeKeyEvent(display, code, False, 0);
    }
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y,
                  &mask);
    for (unsigned button = 1; button <= 5; ++button) {
        if (mask & (Button1Mask << (button - 1))) XTestFakeButtonEvent(display, button, False, 0);
    }
    // Park the pointer where no test puts it, so a test's first placement always moves it.
    XTestFakeMotionEvent(display, DefaultScreen(display), 1, 1, 0);
    XSync(display, True);  // and drop the events all this caused
    options_.display = name;
    // Spare keycodes stay bound while a test looks at its events (restoring is tested apart).
    options_.restoreDelay = std::chrono::hours(1);
    MakeInjector();
}

void X11Test::TearDown() {
    injector_.reset();
    window_.reset();
}
