// Requests for the presentation worker: a number and two 32-bit parameters, posted
// fire-and-forget.
#pragma once

#include <cstdint>

enum PresentationRequestId : std::uint32_t {
    PR_NEXT_PAGE = 1124,
    PR_PREV_PAGE = 1125,
    PR_EXPLORER = 1126,
    PR_PRE_DRAW = 1127,
    PR_DRAW_DOWN = 1134,
    PR_DRAW_UP = 1135,
    PR_GOTO_PAGE = 1137,
    PR_CHANGE_STATE = 1138,
    PR_DRAW_LINE = 1139,
    PR_CHECK_END = 1154,
    PR_QUIT = 1165,
};

// PR_DRAW_DOWN's second parameter: 0 for "PptDrawDown" (the stroke starts where the pointer
// is), 1 for "PptDrawStart" without a point, kDrawStartAtPoint for "PptDrawStart" whose point in
// the slideshow window is the first parameter (x in the low, y in the high 16 bits).
constexpr std::uint32_t kDrawStartAtPoint = 2;

struct PresentationRequest {
    std::uint32_t message = 0;
    std::uint32_t wParam = 0;
    std::uint32_t lParam = 0;
    bool operator==(const PresentationRequest&) const = default;
};

// Error code of a post that found no worker (the system's "invalid thread id").
constexpr int kNoWorkerError = 1444;
// Error code of a post refused because too many requests wait already (what a full system
// thread message queue answers: "not enough quota").
constexpr int kQueueFullError = 1816;

// Where requests go. Post never waits for the request to be carried out.
class PresentationRequestSink {
public:
    virtual ~PresentationRequestSink() = default;
    // Queues the request; 0, or an error code when it could not be queued. Any thread.
    virtual int Post(const PresentationRequest& request) = 0;
};

// MAKELONG: low 16 bits of `low` and of `high` in one 32-bit value.
constexpr std::uint32_t MakeLong(std::int32_t low, std::int32_t high) {
    return (static_cast<std::uint32_t>(low) & 0xFFFFu) |
           ((static_cast<std::uint32_t>(high) & 0xFFFFu) << 16);
}
