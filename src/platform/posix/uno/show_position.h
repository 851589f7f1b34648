// How Impress's slideshow facts read in the presentation object model. The office reports a
// 0-based slide index, the number of slides in the show and whether the show is paused; its end
// screen ("click to exit") is the last index, paused. A blank screen is a pause too, so the
// program remembers the blank screens it put up itself to tell them from the end screen (one
// the presenter put up on the last slide with the keyboard reads as the end screen).
// Plain values only: the module and the tests share it.
#pragma once

#include <cstdint>

#include "platform/automation.h"

// The show's state as the object model names them (ppSlideShowRunning, ppSlideShowDone).
constexpr std::int32_t kShowRunning = 1;
constexpr std::int32_t kShowDone = 5;

struct ShowFacts {
    std::int32_t index = 0;  // 0-based, as the office reports it
    std::int32_t count = 0;  // slides in the show
    bool paused = false;
    std::int32_t ownBlank = 0;  // 0, or the blank screen this program put up (3 black, 4 white)
};

inline bool OnEndScreen(const ShowFacts& facts) {
    return facts.paused && facts.ownBlank == 0 && facts.count > 0 && facts.index == facts.count - 1;
}

// 1-based position; slide count + 1 on the end screen.
inline std::int32_t ShowPosition(const ShowFacts& facts) {
    return OnEndScreen(facts) ? facts.count + 1 : facts.index + 1;
}

// A blank screen (this program's, or the presenter's own B or W key) reads as a running show.
// In Impress a click on a blank screen also moves the show on, so the click that ends a black
// screen elsewhere must not be sent here; instead the model ends the blank screen itself when
// the pointer is set next, which is what a change of mode does right after reading the state.
inline std::int32_t ShowState(const ShowFacts& facts) {
    return OnEndScreen(facts) ? kShowDone : kShowRunning;
}

inline bool BlankScreenUp(const ShowFacts& facts) { return facts.paused && !OnEndScreen(facts); }

// The object model's colours are 0x00BBGGRR, the office's 0x00RRGGBB.
inline std::int32_t OfficeColor(std::uint32_t bgr) {
    return static_cast<std::int32_t>(((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF));
}
