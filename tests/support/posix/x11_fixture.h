// What the X11 backend tests observe with: a window of their own that has the keyboard focus,
// the display the CTest fixture started, and private X servers for tests that stop one.
#pragma once

// GoogleTest before Xlib: Xlib's None and Bool macros break GoogleTest's headers.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/input.h"
#include "platform/posix/input_x11.h"

// $DISPLAY if set, else the display the CTest fixture wrote into the build tree; empty if neither.
std::string SharedDisplayName();

// One input event as the test window received it. For key events `sym` is the keysym the
// server's keyboard map gave the keycode when the test read the event (column 0).
struct SeenEvent {
    int type = 0;
    unsigned detail = 0;  // keycode or button
    KeySym sym = NoSymbol;
    unsigned state = 0;
    int x = 0, y = 0;  // root coordinates
};

// Every keycode the server has down (XQueryKeymap), and the pointer buttons it has down (as
// XQueryPointer's mask): what a stuck key or button would show.
std::vector<int> KeysDown(Display* display);
unsigned ButtonsDown(Display* display);

// Expected events, for comparing with what came: only what Describe shows is set.
SeenEvent KeyEvent(int type, KeySym sym);
SeenEvent ButtonEvent(int type, unsigned button);

// "press a", "release 0x10020ac", "button-press 4", "motion 10,20": readable in a failed check.
std::string Describe(const SeenEvent& event);
std::vector<std::string> Describe(const std::vector<SeenEvent>& events);

// A screen-sized window on its own connection, focused, selecting key, button and motion events.
class TestWindow {
public:
    explicit TestWindow(const std::string& displayName);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    bool ok() const { return window_ != 0; }
    Display* display() const { return display_; }

    // The next key, button or motion event, waiting at most `timeout`.
    std::optional<SeenEvent> Next(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Sends a marker through `injector` (two absolute moves) and returns every key and button
    // event that arrived before it. The injector's requests reach the server in order, so when
    // the marker is in, everything sent before it is in too: nothing can still be on its way.
    // Motion events are left out unless `withMotion`. A missing marker fails the test.
    std::vector<SeenEvent> EventsUntilMarker(InputInjector& injector, bool withMotion = false);

    // The pointer's root position.
    std::pair<int, int> Pointer();
    // The whole keyboard map: rows of `perKeycode` keysyms from `minKeycode` on.
    std::vector<KeySym> KeyboardMap(int* minKeycode = nullptr, int* perKeycode = nullptr);
    // A keycode whose first column is `sym` in `map` (from KeyboardMap), 0 when none.
    KeyCode KeycodeOf(const std::vector<KeySym>& map, KeySym sym);

    static constexpr int kMarkerX = 4, kMarkerY = 3;

private:
    Display* display_ = nullptr;
    Window window_ = 0;
};

// A private Xvfb for tests that take a server away.
class XvfbProcess {
public:
    ~XvfbProcess() { Stop(); }
    // Starts Xvfb on display `number` (any free one when -1) with one screen of `geometry`
    // (WIDTHxHEIGHTxDEPTH) and waits until it takes clients. False when Xvfb is missing or did
    // not come up in time.
    bool Start(int number = -1, const std::string& geometry = "640x480x24");
    void Stop();
    int number() const { return number_; }
    std::string name() const { return ":" + std::to_string(number_); }

private:
    pid_t pid_ = -1;
    int number_ = -1;
};

// Tests that inject into the shared display and watch with a test window.
class X11Test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // (Re)creates the injector from options_.
    void MakeInjector() { injector_ = CreateX11InputInjector(options_); }

    X11InputOptions options_;
    std::unique_ptr<TestWindow> window_;
    std::unique_ptr<InputInjector> injector_;
};
