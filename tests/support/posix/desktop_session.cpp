#include "desktop_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvane-desktop-XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) return std::string();
    return pattern;
}

// The window's name (the UTF-8 one toolkits set, else the classic one), or empty.
std::string NameOf(Display* display, Window window) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data != nullptr) {
        std::string text(reinterpret_cast<char*>(data), count);
        XFree(data);
        if (!text.empty()) return text;
    }
    char* name = nullptr;
    std::string text;
    if (XFetchName(display, window, &name) && name != nullptr) text = name;
    if (name != nullptr) XFree(name);
    return text;
}

bool Viewable(Display* display, Window window, XWindowAttributes* attributes) {
    return XGetWindowAttributes(display, window, attributes) && attributes->map_state == IsViewable;
}

std::vector<Window> Children(Display* display, Window window) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<Window> list;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
        list.assign(children, children + count);
    }
    if (children != nullptr) XFree(children);
    return list;
}

// Errors about windows that vanished between two requests are expected while looking around.
int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

bool WaitFor(const std::function<bool()>& done, int timeoutMs, const std::function<void()>& pump) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (pump) pump();
        if (done()) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool ChildProcess::Start(const std::vector<std::string>& args,
                         const std::vector<std::string>& environment, const std::string& outputPath,
                         int extraFd) {
    Stop();
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
    for (const std::string& entry : environment) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(env, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
        env.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopy = args;
    std::vector<char*> argv;
    for (std::string& a : argCopy) argv.push_back(a.data());
    argv.push_back(nullptr);

    const std::string output = outputPath.empty() ? "/dev/null" : outputPath;
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
        // Ended with the test, even when the test itself dies.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (out < 0 || in < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0 || dup2(in, 0) < 0)
            _exit(127);
        if (extraFd >= 0 && dup2(extraFd, 3) < 0) _exit(127);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return true;
}

bool ChildProcess::Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == 0) return true;
    pid_ = -1;
    return false;
}

void ChildProcess::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const bool ended = WaitFor(
        [&] {
            int status = 0;
            return waitpid(pid_, &status, WNOHANG) == pid_;
        },
        3000);
    if (!ended) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
}

PrivateDesktop::~PrivateDesktop() {
    trayHost_.Stop();
    bus_.Stop();
    xvfb_.Stop();
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

bool PrivateDesktop::Start() {
    folder_ = TemporaryFolder();
    if (folder_.empty()) return false;
    // Xvfb writes its display number to descriptor 3 once it accepts clients.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    const bool started = xvfb_.Start(
        {"Xvfb", "-displayfd", "3", "-noreset", "-nolisten", "tcp", "-screen", "0", "1024x768x24"},
        {}, folder_ + "/xvfb.log", fds[1]);
    close(fds[1]);
    std::string number;
    if (started) {
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
        pollfd wait{fds[0], POLLIN, 0};
        while (number.find('\n') == std::string::npos && Clock::now() < deadline) {
            if (poll(&wait, 1, 100) <= 0) continue;
            char c[16];
            ssize_t got = read(fds[0], c, sizeof c);
            if (got <= 0) break;
            number.append(c, static_cast<size_t>(got));
        }
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) return false;
    display_ = ":" + number.substr(0, number.find('\n'));

    // On a path, not an abstract socket: those do not cross network namespaces.
    const std::string socket = folder_ + "/bus";
    busAddress_ = "unix:path=" + socket;
    if (!bus_.Start({"dbus-daemon", "--session", "--nofork", "--address=" + busAddress_}, {},
                    folder_ + "/bus.log")) {
        return false;
    }
    return WaitFor([&] { return std::filesystem::exists(socket); }, 10000);
}

bool PrivateDesktop::StartTrayHost() {
    if (!trayHost_.Start({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                          "--height", "24", "--transparent", "false"},
                         Environment(), folder_ + "/trayer.log")) {
        return false;
    }
    Display* display = XOpenDisplay(display_.c_str());
    if (display == nullptr) return false;
    const Atom selection = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
    const bool owned =
        WaitFor([&] { return XGetSelectionOwner(display, selection) != None; }, 10000);
    XCloseDisplay(display);
    return owned;
}

void PrivateDesktop::StopTrayHost() { trayHost_.Stop(); }

std::vector<std::string> PrivateDesktop::Environment() const {
    return {"DISPLAY=" + display_, "DBUS_SESSION_BUS_ADDRESS=" + busAddress_};
}

void PrivateDesktop::Enter() const {
    setenv("DISPLAY", display_.c_str(), 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", busAddress_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder_ + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
}

XDriver::XDriver(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
    XSetErrorHandler(IgnoreErrors);
}

XDriver::~XDriver() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

void XDriver::Sync() { XSync(display_, False); }

void XDriver::MoveTo(int x, int y) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    Sync();
}

void XDriver::Click(int x, int y, unsigned button, int times) {
    MoveTo(x, y);
    for (int i = 0; i < times; ++i) {
        XTestFakeButtonEvent(display_, button, True, CurrentTime);
        XTestFakeButtonEvent(display_, button, False, CurrentTime);
    }
    Sync();
}

bool XDriver::ClickWindow(unsigned long window, unsigned button, int times) {
    ScreenRect place;
    if (!Geometry(window, &place)) return false;
    Click(place.CenterX(), place.CenterY(), button, times);
    return true;
}

void XDriver::Key(unsigned long keysym, bool control) {
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    const KeyCode ctrl = XKeysymToKeycode(display_, XK_Control_L);
    if (control) XTestFakeKeyEvent(display_, ctrl, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    if (control) XTestFakeKeyEvent(display_, ctrl, False, CurrentTime);
    Sync();
}

void XDriver::Type(const std::string& text) {
    const KeyCode shift = XKeysymToKeycode(display_, XK_Shift_L);
    for (char c : text) {
        KeySym sym = c == ' '   ? XK_space
                     : c == '-' ? XK_minus
                     : c == '.' ? XK_period
                                : static_cast<KeySym>(c);
        const bool upper = c >= 'A' && c <= 'Z';
        if (upper) sym = static_cast<KeySym>(c - 'A' + 'a');
        const KeyCode code = XKeysymToKeycode(display_, sym);
        if (upper) XTestFakeKeyEvent(display_, shift, True, CurrentTime);
        XTestFakeKeyEvent(display_, code, True, CurrentTime);
        XTestFakeKeyEvent(display_, code, False, CurrentTime);
        if (upper) XTestFakeKeyEvent(display_, shift, False, CurrentTime);
    }
    Sync();
}

unsigned long XDriver::FindTopLevel(const std::string& name, int width, int height) {
    for (Window child : Children(display_, DefaultRootWindow(display_))) {
        XWindowAttributes attributes;
        if (!Viewable(display_, child, &attributes) || NameOf(display_, child) != name) continue;
        if (width > 0 && attributes.width != width) continue;
        if (height > 0 && attributes.height != height) continue;
        return child;
    }
    return 0;
}

std::vector<unsigned long> XDriver::FindTopLevels(const std::string& name) {
    std::vector<unsigned long> found;
    for (Window child : Children(display_, DefaultRootWindow(display_))) {
        XWindowAttributes attributes;
        if (Viewable(display_, child, &attributes) && NameOf(display_, child) == name) {
            found.push_back(child);
        }
    }
    return found;
}

unsigned long XDriver::FindTrayIcon(const std::string& name) {
    // trayer's panel is named "panel"; the icons sit in socket windows inside it.
    std::vector<Window> pending;
    for (Window child : Children(display_, DefaultRootWindow(display_))) {
        if (NameOf(display_, child) == "panel") pending.push_back(child);
    }
    while (!pending.empty()) {
        Window window = pending.back();
        pending.pop_back();
        for (Window child : Children(display_, window)) {
            XWindowAttributes attributes;
            if (!Viewable(display_, child, &attributes)) continue;
            if (NameOf(display_, child) == name) return child;
            pending.push_back(child);
        }
    }
    return 0;
}

std::vector<unsigned long> XDriver::MappedPopups() {
    std::vector<unsigned long> popups;
    for (Window child : Children(display_, DefaultRootWindow(display_))) {
        XWindowAttributes attributes;
        if (Viewable(display_, child, &attributes) && attributes.override_redirect &&
            attributes.width > 1 && attributes.height > 1) {
            popups.push_back(child);
        }
    }
    return popups;
}

bool XDriver::HasFocus(unsigned long window) {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    while (focus != 0 && focus != PointerRoot) {
        if (focus == window) return true;
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, focus, &root, &parent, &children, &count)) return false;
        if (children != nullptr) XFree(children);
        focus = parent == root ? 0 : parent;
    }
    return false;
}

bool XDriver::PaintedLight(unsigned long window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes)) return false;
    // Near the right edge, where a menu has no text.
    XImage* image = XGetImage(display_, window, attributes.width - 6, attributes.height / 2, 1, 1,
                              AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    // 24-bit TrueColor: the sum of red, green and blue.
    const int sum =
        static_cast<int>(((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF));
    return sum > 3 * 128;
}

void XDriver::Focus(unsigned long window) {
    XSetInputFocus(display_, window, RevertToParent, CurrentTime);
    Sync();
}

bool XDriver::Geometry(unsigned long window, ScreenRect* rect) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes)) return false;
    int x = 0, y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y,
                               &child)) {
        return false;
    }
    *rect = {x, y, attributes.width, attributes.height};
    return true;
}
