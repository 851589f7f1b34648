// The X11 desktop as the automation host touches it: where a window is on the screen, bringing
// a window to the front, and the pen cursor in place of the normal arrow.
//
// X has no system cursor to replace: every client creates its own. Themed cursors (those of
// GTK, Qt, LibreOffice and most desktops) carry their theme name, and the XFIXES extension can
// put another cursor wherever a cursor of a name is in use; that is what replacing the arrow
// means here ("left_ptr" and "default"). Putting it back puts the theme's arrow there again.
// Cursors that carry no name (an unthemed desktop's root window) stay as they are, and so do
// arrows that clients create while the pen is in place.
//
// Thread contract: any thread; one lock covers the connection. It is opened when first needed
// and again, at most every few seconds, after the server went away.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/automation_host.h"
#include "platform/posix/cursor_image.h"

class X11Desktop {
public:
    // Empty display name: $DISPLAY.
    explicit X11Desktop(std::string displayName = {});
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    // The window's area in root (screen) coordinates, without a window manager's frame; false
    // when the window does not exist or there is no display.
    bool WindowRect(std::uint64_t window, WindowRect* rect);
    // Raises the window and gives it the keyboard focus: through the window manager when one
    // runs (EWMH), else directly. Nothing happens to a window that is not on screen.
    void Activate(std::uint64_t window);

    // Shows `image` in place of the normal arrow; false when the server cannot (no XFIXES 2).
    bool ReplaceArrow(const CursorImage& image);
    // Gives the arrow cursors the theme's picture again, when ReplaceArrow had changed them.
    void RestoreArrow();

private:
    struct Connection;
    // Under lock_: the open connection, or null.
    Connection* Ready();
    void Drop();

    const std::string displayName_;
    std::mutex lock_;
    std::unique_ptr<Connection> connection_;
    std::int64_t nextAttemptMs_ = 0;
    bool arrowReplaced_ = false;
};
