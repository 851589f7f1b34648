#include "commands/pointer_input.h"

#include <cstdlib>
#include <cstring>

#include "platform/input.h"

void MoveRelative(InputInjector& input, const char* parameter, std::int32_t horizontalFactor,
                  std::int32_t verticalFactor) {
    std::int32_t dx = std::atoi(parameter);
    const char* comma = std::strchr(parameter, ',');
    std::int32_t dy = comma != nullptr ? std::atoi(comma + 1) : 0;
    // 64-bit products: a hostile dx must not overflow into undefined behaviour.
    auto scale = [](std::int32_t d, std::int32_t factor) {
        return static_cast<std::int32_t>(static_cast<std::int64_t>(d) * factor / 50);
    };
    input.MouseEvent(kMouseMove, scale(dx, horizontalFactor), scale(dy, verticalFactor), 0);
}

void TurnWheel(InputInjector& input, const char* parameter) {
    std::int64_t n = std::atoi(parameter);
    // -12 per unit: a tenth of a notch, positive n toward the user. Computed wide so that no
    // value of n overflows; the result is what the 32-bit wheel field carries.
    std::int32_t data = static_cast<std::int32_t>(static_cast<std::uint32_t>(-12 * n));
    input.MouseEvent(kMouseWheel, 0, 0, data);
}

void Click(InputInjector& input, std::uint32_t downFlag, std::uint32_t upFlag, int times) {
    for (int i = 0; i < times; ++i) {
        input.MouseEvent(downFlag, 0, 0, 0);
        input.MouseEvent(upFlag, 0, 0, 0);
    }
}
