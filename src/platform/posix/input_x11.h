// The X11 input injector (XTest), with the knobs its tests need. The program itself only uses
// CreateSystemInputInjector() from platform/input.h.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/input.h"

struct X11InputOptions {
    // Display name for XOpenDisplay; empty means $DISPLAY.
    std::string display;
    // Without a display, an event tries to connect again at most this often.
    std::chrono::milliseconds retryInterval{3000};
    // A spare keycode bound to a character the keyboard map lacks is put back this long after the
    // key was last released. Clients look a keycode up when they read the event, which can be
    // well after the server delivered it; restoring at once would make them see no symbol.
    std::chrono::milliseconds restoreDelay{1000};
    // How many spare keycodes may be bound at once; 0: every keycode without symbols.
    int spareKeycodeLimit = 0;
};

std::unique_ptr<InputInjector> CreateX11InputInjector(const X11InputOptions& options);

// Turns wheel data (120 per notch, positive away from the user) into whole notches. Parts of a
// notch are kept for the next call in the same direction; turning the other way drops them.
class WheelAccumulator {
public:
    // Most notches one call returns; anything beyond is dropped (a bogus value must not flood
    // the X server with millions of clicks).
    static constexpr int kMaxNotches = 100;

    // Notches now due: positive away from the user, negative towards.
    int Add(std::int32_t wheelData);
    void Reset() { remainder_ = 0; }

private:
    std::int64_t remainder_ = 0;
};

// The X keysym that types Unicode code point `codePoint`: Latin-1 keysyms where they equal the
// code point, Return for line feed and carriage return, Tab, BackSpace and Escape for their
// control characters, 0x01000000 + code point otherwise. 0 for what types nothing (other control
// characters, surrogates, values beyond U+10FFFF).
std::uint32_t KeysymForCodePoint(std::uint32_t codePoint);

// The X keysym for one of the virtual keys of platform/input.h; 0 for any other code.
std::uint32_t KeysymForVirtualKey(std::uint16_t virtualKey);
