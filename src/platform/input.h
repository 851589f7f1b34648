// Synthetic pointer and keyboard input, at the level of single system events. Commands are
// parsed in the core; an injector only ever sees decoded events.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

// Mouse event flags (the Windows values, used on every platform).
enum MouseEventFlag : std::uint32_t {
    kMouseMove = 0x0001,
    kMouseLeftDown = 0x0002,
    kMouseLeftUp = 0x0004,
    kMouseRightDown = 0x0008,
    kMouseRightUp = 0x0010,
    kMouseMiddleDown = 0x0020,
    kMouseMiddleUp = 0x0040,
    kMouseWheel = 0x0800,
};

// Standard wheel notch in wheel-data units.
constexpr int kWheelDelta = 120;

// Virtual-key codes the program uses (Windows values, used on every platform).
enum VirtualKey : std::uint16_t {
    kVkBack = 0x08,
    kVkTab = 0x09,
    kVkReturn = 0x0D,
    kVkShift = 0x10,
    kVkControl = 0x11,
    kVkMenu = 0x12,  // Alt
    kVkEscape = 0x1B,
    kVkPrior = 0x21,  // Page Up
    kVkNext = 0x22,   // Page Down
    kVkEnd = 0x23,
    kVkHome = 0x24,
    kVkLeft = 0x25,
    kVkUp = 0x26,
    kVkRight = 0x27,
    kVkDown = 0x28,
};

// One keyboard record: a virtual key, or (unicode) one UTF-16 code unit typed as a character.
struct KeyRecord {
    std::uint16_t virtualKey = 0;
    std::uint16_t unit = 0;
    bool unicode = false;
    bool up = false;
};

// Injects input into the desktop session. Implementations are safe to call from several
// threads at once; events of different callers may interleave.
class InputInjector {
public:
    virtual ~InputInjector() = default;
    // One mouse event: `flags` from MouseEventFlag; dx/dy relative motion for kMouseMove;
    // wheelData for kMouseWheel (positive turns away from the user).
    virtual void MouseEvent(std::uint32_t flags, std::int32_t dx, std::int32_t dy,
                            std::int32_t wheelData) = 0;
    // Puts the pointer at an absolute position in screen pixels.
    virtual void SetCursorPosition(int x, int y) = 0;
    // Where the pointer is, in screen pixels; false when that cannot be told.
    virtual bool CursorPosition(int* x, int* y) {
        (void)x;
        (void)y;
        return false;
    }
    virtual void Key(const KeyRecord& key) = 0;
    // One command's keyboard records, in order. A surrogate pair types its character only when
    // both halves come in the same call; a half left over at either end of a call types nothing.
    // The system injectors let no other caller's keys fall between the records; this default
    // only hands each record to Key. Any thread.
    virtual void Keys(std::span<const KeyRecord> keys) {
        for (const KeyRecord& key : keys) Key(key);
    }
    // Ends one command's events: a backend that batches sends them now.
    virtual void Flush() {}
    // Lets go of every key and mouse button this injector pressed and has not released, so that
    // nothing stays held once the program ends. Any thread; input may follow.
    virtual void ReleaseAll() {}
    // Size of the primary screen in pixels; false (and 0 x 0) when there is no screen.
    virtual bool ScreenSize(int* width, int* height) = 0;
};

// The injector for this system's desktop (Win32, or X11 through XTest). Never null; without a
// desktop its events are dropped.
std::unique_ptr<InputInjector> CreateSystemInputInjector();
