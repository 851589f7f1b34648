// The X11 injector's translations: the keysym that types a character or a virtual key, and
// wheel data in whole notches. Pure functions and a small value type; no display needed.
#include <X11/keysym.h>

#include <algorithm>

#include "platform/posix/input_x11.h"

int WheelAccumulator::Add(std::int32_t wheelData) {
    if (wheelData == 0) return 0;
    if ((wheelData > 0 && remainder_ < 0) || (wheelData < 0 && remainder_ > 0)) remainder_ = 0;
    remainder_ += wheelData;
    std::int64_t notches = remainder_ / kWheelDelta;
    remainder_ -= notches * kWheelDelta;
    return static_cast<int>(std::clamp<std::int64_t>(notches, -kMaxNotches, kMaxNotches));
}

std::uint32_t KeysymForCodePoint(std::uint32_t codePoint) {
    switch (codePoint) {
        case 0x08:
            return XK_BackSpace;
        case 0x09:
            return XK_Tab;
        case 0x0A:
        case 0x0D:
            return XK_Return;
        case 0x1B:
            return XK_Escape;
        default:
            break;
    }
    if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0)) return 0;
    if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF) return 0;
    if (codePoint <= 0xFF) return codePoint;  // Latin-1 keysyms are the code points
    return 0x01000000u | codePoint;
}

std::uint32_t KeysymForVirtualKey(std::uint16_t virtualKey) {
    static constexpr struct {
        std::uint16_t virtualKey;
        std::uint32_t keysym;
    } kKeys[] = {
        {kVkControl, XK_Control_L},
        {kVkShift, XK_Shift_L},
        {kVkMenu, XK_Alt_L},
        {kVkReturn, XK_Return},
        {kVkTab, XK_Tab},
        {kVkBack, XK_BackSpace},
        {kVkEscape, XK_Escape},
        {kVkPrior, XK_Prior},
        {kVkNext, XK_Next},
        {kVkHome, XK_Home},
        {kVkEnd, XK_End},
        {kVkLeft, XK_Left},
        {kVkUp, XK_Up},
        {kVkRight, XK_Right},
        {kVkDown, XK_Down},
    };
    for (const auto& key : kKeys) {
        if (key.virtualKey == virtualKey) return key.keysym;
    }
    return 0;
}
