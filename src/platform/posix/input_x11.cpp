// Input injection on X11 through the XTest extension.
#include "platform/posix/input_x11.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/posix/x11_guard.h"
#include "platform/posix/x11_keymap.h"
#include "support/log.h"
#include "support/stop_signal.h"

namespace {

// XTest carries coordinates as 16-bit values; clamping keeps a huge motion in its direction.
int Clamp16(std::int32_t value) {
    return std::clamp<std::int32_t>(value, std::numeric_limits<std::int16_t>::min(),
                                    std::numeric_limits<std::int16_t>::max());
}

// Any thread may call any method; one mutex covers every use of the connection, which Xlib's
// own locking alone would not make safe for sequences of calls (keymap lookups, binding, press).
class X11Injector final : public InputInjector {
public:
    explicit X11Injector(const X11InputOptions& options);
    ~X11Injector() override;

    void MouseEvent(std::uint32_t flags, std::int32_t dx, std::int32_t dy,
                    std::int32_t wheelData) override;
    void SetCursorPosition(int x, int y) override;
    bool CursorPosition(int* x, int* y) override;
    void Key(const KeyRecord& key) override;
    void Keys(std::span<const KeyRecord> keys) override;
    void Flush() override;
    void ReleaseAll() override;
    bool ScreenSize(int* width, int* height) override;

private:
    using Clock = std::chrono::steady_clock;

    // The surrogate pair being typed within one Keys call. Kept per call, never in the
    // injector: phones type at the same time, and one phone's half must not meet another's.
    struct PairState {
        std::uint16_t high = 0;  // first half, until its second half comes down
        std::uint32_t down = 0;  // the code point the pair pressed, until it comes up
    };

    static void OnLost(Display* display, void* self);
    // All of these run under lock_.
    bool Ready();
    bool Connect();
    void CheckLost();
    void ReportLoss();
    void ReadEvents(int mode);
    void Button(unsigned button, bool down);
    void TypeUnit(PairState& pair, std::uint16_t unit, bool up);
    void PressKeysym(KeySym sym);
    void ReleaseKeysym(KeySym sym);
    // Releases every key and button we hold down; the display must be live.
    void ReleaseHeld();
    // The thread that puts spare keycodes back once they have been idle for restoreDelay.
    void RestoreLoop();

    const X11InputOptions options_;
    // The restorer's stop; its lock guards every use of display_ and of the state below.
    StopSignal stop_;
    std::mutex& lock_ = stop_.Lock();
    bool restoreWanted_ = false;  // a spare keycode was released: the restorer looks again
    Display* display_ = nullptr;
    bool lost_ = false;      // set by Xlib, inside one of our calls, when the server went away
    bool reported_ = false;  // the loss of the display has been logged
    Clock::time_point nextAttempt_{};
    WheelAccumulator wheel_;
    X11Keymap keymap_;
    unsigned buttonsDown_ = 0;  // bit n: we pressed button n and have not released it
    std::thread restorer_;
};

X11Injector::X11Injector(const X11InputOptions& options) : options_(options) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        Connect();
    }
    restorer_ = std::thread(&X11Injector::RestoreLoop, this);
}

X11Injector::~X11Injector() {
    stop_.Stop();
    restorer_.join();
    std::lock_guard<std::mutex> guard(lock_);
    if (display_ == nullptr) return;
    if (!lost_) {
        // Nothing stays held down or bound after us.
        ReleaseHeld();
        keymap_.RestoreIdle(display_, Clock::time_point::max());
    }
    XCloseDisplay(display_);
    UnguardDisplay(display_);
    display_ = nullptr;
}

void X11Injector::OnLost(Display* /*display*/, void* self) {
    static_cast<X11Injector*>(self)->lost_ = true;
}

bool X11Injector::Ready() {
    if (display_ != nullptr) {
        if (!lost_) return true;
        CheckLost();
    }
    if (Clock::now() < nextAttempt_) return false;
    return Connect();
}

bool X11Injector::Connect() {
    nextAttempt_ = Clock::now() + options_.retryInterval;
    Display* display = XOpenDisplay(options_.display.empty() ? nullptr : options_.display.c_str());
    if (display == nullptr) {
        ReportLoss();
        return false;
    }
    GuardDisplay(display, "injecting input");
    XSetIOErrorExitHandler(display, &X11Injector::OnLost, this);
    display_ = display;
    lost_ = false;

    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        if (!lost_ && !reported_) {
            LogPrintf(
                "X display %s has no XTEST extension: pointer and keyboard input is dropped.\n",
                DisplayString(display));
            reported_ = true;
        }
        XCloseDisplay(display);
        UnguardDisplay(display);
        display_ = nullptr;
        lost_ = false;
        ReportLoss();
        return false;
    }
    // Our events still count while another client grabs the server.
    XTestGrabControl(display, True);
    int xkbEventBase = -1;
    int opcode = 0, xkbEvent = 0, xkbError = 0;
    int xkbMajor = XkbMajorVersion, xkbMinor = XkbMinorVersion;
    if (XkbQueryExtension(display, &opcode, &xkbEvent, &xkbError, &xkbMajor, &xkbMinor)) {
        // Without these Xlib tells an XKB client nothing when the keyboard map changes.
        const unsigned mask = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
        XkbSelectEvents(display, XkbUseCoreKbd, mask, mask);
        xkbEventBase = xkbEvent;
    }
    keymap_.Reset(xkbEventBase, options_.spareKeycodeLimit);
    wheel_.Reset();
    buttonsDown_ = 0;
    if (lost_) {
        CheckLost();
        return false;
    }
    if (reported_) {
        LogPrintf("X display %s: pointer and keyboard input works again.\n",
                  DisplayString(display));
        reported_ = false;
    }
    return true;
}

// After Xlib reported the connection broken: close it, forget its state, log the loss once.
void X11Injector::CheckLost() {
    if (display_ == nullptr || !lost_) return;
    XCloseDisplay(display_);
    UnguardDisplay(display_);
    display_ = nullptr;
    lost_ = false;
    keymap_.Reset(-1, options_.spareKeycodeLimit);
    wheel_.Reset();
    buttonsDown_ = 0;
    nextAttempt_ = Clock::now() + options_.retryInterval;
    ReportLoss();
}

void X11Injector::ReportLoss() {
    if (reported_) return;
    LogPrintf("No X display: pointer and keyboard input is dropped.\n");
    reported_ = true;
}

// Takes in the events queued for us (we select only keyboard map changes). Never blocks.
void X11Injector::ReadEvents(int mode) {
    int count = XEventsQueued(display_, mode);
    while (count-- > 0 && !lost_) {
        XEvent event;
        XNextEvent(display_, &event);
        keymap_.OnEvent(event);
    }
}

void X11Injector::MouseEvent(std::uint32_t flags, std::int32_t dx, std::int32_t dy,
                             std::int32_t wheelData) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!Ready()) return;
    if (flags & kMouseMove) {
        XTestFakeRelativeMotionEvent(display_, Clamp16(dx), Clamp16(dy), CurrentTime);
    }
    if (flags & kMouseLeftDown) Button(1, true);
    if (flags & kMouseLeftUp) Button(1, false);
    if (flags & kMouseRightDown) Button(3, true);
    if (flags & kMouseRightUp) Button(3, false);
    if (flags & kMouseMiddleDown) Button(2, true);
    if (flags & kMouseMiddleUp) Button(2, false);
    if (flags & kMouseWheel) {
        int notches = wheel_.Add(wheelData);
        unsigned button = notches > 0 ? 4 : 5;  // 4 scrolls up (away), 5 down (towards the user)
        for (int i = 0; i < std::abs(notches) && !lost_; ++i) {
            Button(button, true);
            Button(button, false);
        }
    }
    CheckLost();
}

void X11Injector::Button(unsigned button, bool down) {
    if (lost_) return;
    XTestFakeButtonEvent(display_, button, down ? True : False, CurrentTime);
    if (down) {
        buttonsDown_ |= 1u << button;
    } else {
        buttonsDown_ &= ~(1u << button);
    }
}

void X11Injector::SetCursorPosition(int x, int y) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!Ready()) return;
    XTestFakeMotionEvent(display_, DefaultScreen(display_), Clamp16(x), Clamp16(y), CurrentTime);
    CheckLost();
}

bool X11Injector::CursorPosition(int* x, int* y) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!Ready()) return false;
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
    unsigned mask = 0;
    // False when the pointer is on another screen of the display: no position on ours.
    Bool sameScreen = XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rootX,
                                    &rootY, &windowX, &windowY, &mask);
    bool known = sameScreen && !lost_;
    CheckLost();
    if (!known) return false;
    *x = rootX;
    *y = rootY;
    return true;
}

void X11Injector::Key(const KeyRecord& key) { Keys(std::span<const KeyRecord>(&key, 1)); }

// The whole command under the lock: its keys are not interleaved with another caller's.
void X11Injector::Keys(std::span<const KeyRecord> keys) {
    std::lock_guard<std::mutex> guard(lock_);
    if (!Ready()) return;
    // A keyboard map change announced since the last call must count before the lookup.
    ReadEvents(QueuedAfterReading);
    PairState pair;
    for (const KeyRecord& key : keys) {
        if (lost_) break;
        if (key.unicode) {
            TypeUnit(pair, key.unit, key.up);
        } else if (KeySym sym = KeysymForVirtualKey(key.virtualKey)) {
            key.up ? ReleaseKeysym(sym) : PressKeysym(sym);
        }
    }
    // A pair pressed without its release in this call must not stay down.
    if (pair.down != 0 && !lost_) {
        if (KeySym sym = KeysymForCodePoint(pair.down)) ReleaseKeysym(sym);
    }
    CheckLost();
}

// Each unit comes down, then up. A surrogate pair types one character: it goes down with the
// second half's down and up with the second half's up; a half without its partner types nothing.
void X11Injector::TypeUnit(PairState& pair, std::uint16_t unit, bool up) {
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        if (!up) pair.high = unit;
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        if (!up) {
            if (pair.high == 0 || pair.down != 0) return;
            pair.down = 0x10000 + ((static_cast<std::uint32_t>(pair.high) - 0xD800) << 10) +
                        (unit - 0xDC00u);
            pair.high = 0;
            if (KeySym sym = KeysymForCodePoint(pair.down)) PressKeysym(sym);
        } else if (pair.down != 0) {
            if (KeySym sym = KeysymForCodePoint(pair.down)) ReleaseKeysym(sym);
            pair.down = 0;
        }
        return;
    }
    pair.high = 0;
    if (KeySym sym = KeysymForCodePoint(unit)) up ? ReleaseKeysym(sym) : PressKeysym(sym);
}

void X11Injector::PressKeysym(KeySym sym) {
    KeyCode code = keymap_.Press(display_, sym);
    if (code != 0 && !lost_) XTestFakeKeyEvent(display_, code, True, CurrentTime);
}

void X11Injector::ReleaseKeysym(KeySym sym) {
    KeyCode code = keymap_.Release(display_, sym, Clock::now());
    if (code != 0 && !lost_) XTestFakeKeyEvent(display_, code, False, CurrentTime);
    if (keymap_.HasBindings()) {
        restoreWanted_ = true;
        stop_.Notify();
    }
}

void X11Injector::ReleaseHeld() {
    for (KeyCode code : keymap_.TakeHeld(Clock::now())) {
        if (!lost_) XTestFakeKeyEvent(display_, code, False, CurrentTime);
    }
    for (unsigned button = 1; button < 32; ++button) {
        if (buttonsDown_ & (1u << button)) Button(button, false);
    }
    buttonsDown_ = 0;
    if (keymap_.HasBindings()) {
        restoreWanted_ = true;
        stop_.Notify();
    }
}

void X11Injector::ReleaseAll() {
    std::lock_guard<std::mutex> guard(lock_);
    if (display_ == nullptr) return;  // a lost display took our keys and buttons with it
    if (!lost_) {
        ReleaseHeld();
        ReadEvents(QueuedAfterFlush);  // sends the releases now
    }
    CheckLost();
}

void X11Injector::Flush() {
    std::lock_guard<std::mutex> guard(lock_);
    if (display_ == nullptr) return;
    if (!lost_) ReadEvents(QueuedAfterFlush);  // sends the command's events, reads what came in
    CheckLost();
}

// Asks the server: the root window follows resolution changes, the connection's setup data does
// not.
bool X11Injector::ScreenSize(int* width, int* height) {
    *width = 0;
    *height = 0;
    std::lock_guard<std::mutex> guard(lock_);
    if (!Ready()) return false;
    Window root = 0;
    int x = 0, y = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    Status ok =
        XGetGeometry(display_, DefaultRootWindow(display_), &root, &x, &y, &w, &h, &border, &depth);
    if (lost_ || !ok) {
        CheckLost();
        return false;
    }
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

void X11Injector::RestoreLoop() {
    std::unique_lock<std::mutex> lock(lock_);
    Clock::time_point due = Clock::time_point::max();
    while (!stop_.Stopped()) {
        stop_.WaitUntil(lock, due, [this] { return restoreWanted_; });
        if (stop_.Stopped()) break;
        restoreWanted_ = false;
        due = Clock::time_point::max();
        if (display_ == nullptr || lost_) continue;
        Clock::time_point next =
            keymap_.RestoreIdle(display_, Clock::now() - options_.restoreDelay);
        ReadEvents(QueuedAfterFlush);
        CheckLost();
        if (next != Clock::time_point::max()) due = next + options_.restoreDelay;
    }
}

}  // namespace

std::unique_ptr<InputInjector> CreateX11InputInjector(const X11InputOptions& options) {
    return std::make_unique<X11Injector>(options);
}

std::unique_ptr<InputInjector> CreateSystemInputInjector() {
    return CreateX11InputInjector(X11InputOptions{});
}
