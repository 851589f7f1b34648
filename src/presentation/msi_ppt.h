// The presentation object: what the rest of the program knows about the running slideshow.
// The worker thread writes these facts; the command handler reads them (and writes the pen).
#pragma once

#include <atomic>
#include <cstdint>

enum SlideshowMode : std::int32_t {
    MODE_ARROW = 1,
    MODE_PRE_DRAW = 2,
    MODE_PEN = 3,
    MODE_BLACK = 4,
};

class msi_ppt {
public:
    std::atomic<std::int32_t> mode{MODE_ARROW};
    std::atomic<std::int32_t> attached{0};
    std::atomic<std::int32_t> curPos{-1};
    std::atomic<std::int32_t> slideCount{-1};
    std::atomic<std::int32_t> penWidth{2};
    std::atomic<std::uint32_t> penColor{0xFF0C00};  // 0x00BBGGRR
    std::atomic<std::int32_t> viewWidth{0};
    std::atomic<std::int32_t> viewHeight{0};
};
