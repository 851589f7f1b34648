// A desktop of the test's own for the desktop face: a private X server, a private D-Bus session
// bus (on a path, so that programs inside network namespaces reach it too) and, when asked, a
// tray host; and a driver that clicks and types on that display through XTest, as a user would.
// Nothing here touches the shared test display. Without the toolkit's headers (and without
// Xlib's macros in this header), so that any test can use it.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

// A program started by a test and ended (SIGTERM, then SIGKILL) when the object goes.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `args` (args[0] looked up in PATH) with `environment` added to this process's
    // environment (entries "NAME=value"); output goes to `outputPath` (/dev/null when empty).
    bool Start(const std::vector<std::string>& args, const std::vector<std::string>& environment,
               const std::string& outputPath = std::string(), int extraFd = -1);
    bool Running();
    void Stop();
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

class PrivateDesktop {
public:
    ~PrivateDesktop();
    // A private Xvfb (1024 x 768) and a D-Bus session bus; false when either did not come up.
    bool Start();
    // A tray host of the older, embedding kind (Debian's trayer), docked at the top right;
    // waits until it owns the tray selection. Start it before the program that shows an icon.
    bool StartTrayHost();
    void StopTrayHost();

    // ":<n>" and "unix:path=...".
    const std::string& display() const { return display_; }
    const std::string& busAddress() const { return busAddress_; }
    // DISPLAY and DBUS_SESSION_BUS_ADDRESS for programs the test starts.
    std::vector<std::string> Environment() const;
    // Points this process's DISPLAY and DBUS_SESSION_BUS_ADDRESS here (before the toolkit
    // starts), and its autostart folder into the session's folder.
    void Enter() const;
    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
    std::string display_;
    std::string busAddress_;
    ChildProcess xvfb_;
    ChildProcess bus_;
    ChildProcess trayHost_;
};

struct ScreenRect {
    int x = 0, y = 0, w = 0, h = 0;
    int CenterX() const { return x + w / 2; }
    int CenterY() const { return y + h / 2; }
};

// Pointer, keys and window lookups on one display, through a connection of its own.
class XDriver {
public:
    explicit XDriver(const std::string& display);
    ~XDriver();
    XDriver(const XDriver&) = delete;
    XDriver& operator=(const XDriver&) = delete;
    bool ok() const { return display_ != nullptr; }

    // Moves the pointer there and clicks `times` times with `button` (1 left, 3 right).
    void Click(int x, int y, unsigned button = 1, int times = 1);
    void MoveTo(int x, int y);
    // Clicks the middle of `window` where it is now (a tray host may still be moving a new
    // icon into place); false when the window is gone.
    bool ClickWindow(unsigned long window, unsigned button = 1, int times = 1);
    // Presses and releases the key of `keysym` (an X keysym), with Control held if asked.
    void Key(unsigned long keysym, bool control = false);
    // Types letters, digits, blanks and "-", "." one key at a time (Shift for capitals).
    void Type(const std::string& text);
    // Every request so far has reached the server.
    void Sync();

    // The mapped window named `name` among the children of the root (0 when none), optionally
    // of the given size.
    unsigned long FindTopLevel(const std::string& name, int width = 0, int height = 0);
    // Every mapped window of that name among the children of the root.
    std::vector<unsigned long> FindTopLevels(const std::string& name);
    // The mapped window named `name` anywhere below the tray host's panel (0 when none).
    unsigned long FindTrayIcon(const std::string& name);
    // Mapped windows that bypass the window manager (menus, tool tips), root's children only.
    std::vector<unsigned long> MappedPopups();
    // Whether the keyboard goes to `window` (or a window inside it).
    bool HasFocus(unsigned long window);
    // Whether the window shows something light near its right edge, halfway down: a menu has
    // painted itself, so its program has handled its coming up, and keys sent now are handled
    // after that.
    bool PaintedLight(unsigned long window);
    // Gives `window` the keyboard, as a window manager does for a window that comes up.
    void Focus(unsigned long window);
    // The window's place on the screen; false when it is gone.
    bool Geometry(unsigned long window, ScreenRect* rect);

private:
    struct _XDisplay* display_ = nullptr;
};

// Calls `pump` (which may be empty) and checks `done` until it holds or `timeoutMs` passed.
bool WaitFor(const std::function<bool()>& done, int timeoutMs,
             const std::function<void()>& pump = {});
