// The keyboard side of the X11 injector: which keycode types a keysym, which keys it holds down,
// and the spare keycodes (keycodes without symbols) that it binds for a while to characters the
// keyboard map lacks.
// Not thread-safe: the injector calls every method under its own lock, with a live display.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <vector>

class X11Keymap {
public:
    using Clock = std::chrono::steady_clock;

    // Forgets all about the previous connection. `xkbEventBase` is the XKB event code on this
    // display, or -1 without XKB; `spareLimit` as in X11InputOptions.
    void Reset(int xkbEventBase, int spareLimit);

    // The keycode to press for `sym` now, or 0 when nothing types it. Pressing a keysym that is
    // already down presses the same keycode again.
    KeyCode Press(Display* display, KeySym sym);
    // The keycode to release for `sym`: the one pressed for it, else the one that would type it
    // (the server ignores releases of keys that are up). 0 when there is none.
    KeyCode Release(Display* display, KeySym sym, Clock::time_point now);

    // Every keycode still held down, forgotten as released at `now` (for letting go of all).
    std::vector<KeyCode> TakeHeld(Clock::time_point now);

    // Puts back the mapping of every bound spare keycode that is up and was last released at or
    // before `releasedBy`. Returns the earliest release among the bound ones it kept that are up,
    // or Clock::time_point::max() when there are none.
    Clock::time_point RestoreIdle(Display* display, Clock::time_point releasedBy);
    // True while some spare keycode is bound.
    bool HasBindings() const;

    // Every event read from the display goes through here: mapping changes by anyone make the
    // cached map stale, except changes confined to the spare keycodes (our own).
    void OnEvent(XEvent& event);

private:
    struct Spare {
        KeyCode code = 0;
        KeySym sym = NoSymbol;  // NoSymbol: not bound
        int held = 0;
        Clock::time_point released{};
    };
    struct Held {
        KeySym sym;
        KeyCode code;
        int count;
    };

    bool Load(Display* display);
    KeyCode FindInMap(KeySym sym) const;
    Spare* SpareFor(KeyCode code);
    Spare* Bind(Display* display, KeySym sym);
    void Unbind(Display* display, Spare& spare);
    bool OnlySpares(int first, int count) const;

    int xkbEventBase_ = -1;
    int spareLimit_ = 0;
    bool loaded_ = false;
    bool sparesChosen_ = false;
    int minKeycode_ = 0;
    int maxKeycode_ = 0;
    int symsPerKeycode_ = 0;
    std::vector<KeySym> syms_;             // the server's map, (max - min + 1) rows
    std::vector<unsigned char> modifier_;  // per keycode: 1 when it is in the modifier map
    std::vector<Spare> spares_;
    std::vector<Held> held_;
};
