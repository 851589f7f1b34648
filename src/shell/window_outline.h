// The outline of the program's borderless windows (main window, details dialog, popup): a
// rectangle whose corners are cut by a small square and rounded by a circle, both scaled to the
// window's height. Each face builds its own region from these rectangles.
#pragma once

#include <array>

struct OutlineRect {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
};

struct OutlineCorner {
    OutlineRect cut;     // removed from the window's rectangle
    OutlineRect circle;  // the ellipse inside this rectangle is added back
};

// For a window of w by h pixels: squares of side h / divisor, circles of diameter
// 2 * h / divisor touching the corner's two edges; the bottom circles start at
// h * (divisor - 2) / divisor and the bottom-right square at h * (divisor - 1) / divisor.
// Integer division throughout. Corners in the order top-left, top-right, bottom-left,
// bottom-right.
std::array<OutlineCorner, 4> RoundedOutline(int w, int h, int divisor);
