// Helpers for tests that drive windows on the test display: message pumping, waiting, screenshots
// of a screen area taken by the X server's own tools, and the per-user entries the program
// writes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// A top-level window of the class `className` (registered here, handled by `procedure`) at the
// given place; null when it could not be made.
HWND CreateTestWindow(const wchar_t* className, WNDPROC procedure, const wchar_t* title,
                      DWORD style, int x, int y, int width, int height);

// Handles the calling thread's messages for about `milliseconds`.
void Pump(int milliseconds);

// Handles messages until `done` holds or `timeoutMs` passes; returns whether it held.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

// The folder the screenshots of `album` go to: <build tree>/screenshots/<album> (a Unix path).
std::string ScreenshotFolder(const std::string& album = "ui");

// Captures the screen area of `window` (grown by `margin` pixels on each side) into
// <ScreenshotFolder(album)>/<name>.png with ImageMagick's `import` on the test display. Pumps
// messages while it waits, so the captured windows keep painting. False when no file came.
bool Screenshot(HWND window, const std::string& name, int margin = 12,
                const std::string& album = "ui");

// A Windows path for a Unix path of this machine (Wine's drive Z: is the Unix root).
std::string WindowsPathFor(const std::string& unixPath);

// The window text of a control of another thread or process, as UTF-8.
std::string TextOf(HWND window);
std::string ItemText(HWND dialog, int id);

// Sends WM_COMMAND BN_CLICKED for a dialog's control, as a click on it would.
void Click(HWND dialog, int id);

// BM_CLICK on a dialog's control: the control itself changes state (a check box toggles) and
// notifies its dialog.
void Press(HWND dialog, int id);

// The value "VolaServer" of the per-user Run key, or "<none>".
std::string RunValue();

// While it lives, Wine leaves the windows of the program `exe` ("CorvaneServer.exe") unmanaged
// (HKCU\Software\Wine\AppDefaults\<exe>\X11 Driver, Managed=N). With no window manager on the
// test display Wine otherwise waits about 2 s for each managed window it hides or destroys,
// which would swamp what a test times of the program itself. Set before the program starts.
class UnmanagedWindows {
public:
    explicit UnmanagedWindows(const std::string& exe);
    ~UnmanagedWindows();
    UnmanagedWindows(const UnmanagedWindows&) = delete;
    UnmanagedWindows& operator=(const UnmanagedWindows&) = delete;

private:
    std::string key_;
};

// While it lives, an icon of the test's own stays in the notification area, so that Wine's
// stand-in tray window does not hide when the program removes its icon (with no window manager
// that hiding costs Wine about 2 s, which would swamp what a test times of the program itself).
class TrayIconOfOurOwn {
public:
    TrayIconOfOurOwn();
    ~TrayIconOfOurOwn();
    TrayIconOfOurOwn(const TrayIconOfOurOwn&) = delete;
    TrayIconOfOurOwn& operator=(const TrayIconOfOurOwn&) = delete;

private:
    HWND window_ = nullptr;
};
