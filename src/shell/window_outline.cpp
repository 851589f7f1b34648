#include "shell/window_outline.h"

std::array<OutlineCorner, 4> RoundedOutline(int w, int h, int divisor) {
    const int side = h / divisor;
    const int diameter = 2 * h / divisor;
    const int bottomCircle = h * (divisor - 2) / divisor;
    const int bottomRightSquare = h * (divisor - 1) / divisor;
    return {{
        {{0, 0, side, side}, {0, 0, diameter, diameter}},
        {{w - side, 0, w, side}, {w - diameter, 0, w, diameter}},
        {{0, h - side, side, h}, {0, bottomCircle, diameter, bottomCircle + diameter}},
        {{w - side, bottomRightSquare, w, h},
         {w - diameter, bottomCircle, w, bottomCircle + diameter}},
    }};
}
