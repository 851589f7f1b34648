#include "platform/automation.h"

std::uint16_t AutomationError::AppErrorCode() const {
    constexpr std::int32_t kFirst = static_cast<std::int32_t>(0x80040200);
    constexpr std::int32_t kLast = static_cast<std::int32_t>(0x8004FFFF);
    if (hr < kFirst || hr > kLast) return 0;
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(hr) - 0x80040200u);
}
