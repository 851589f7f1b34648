// The rounded outline of the program's borderless windows. User-interface thread.
#pragma once

#include <windows.h>

// The window's outline for its size: the rectangle 0,0 to w,h whose corners are cut by a
// square of side h / divisor and rounded by a circle of diameter 2 * h / divisor (the bottom
// circles from h * (divisor - 2) / divisor, the bottom-right square from h * (divisor - 1) /
// divisor). The caller owns the region.
HRGN MakeRoundedRegion(int width, int height, int divisor);

// Paint-time shaping: prints "W=%d,H=%d\n" on standard output, frames the outline in
// `outline` on `dc` (the window's client area, which is the whole borderless window) and
// makes it the window's region. The region is set again only when the size changed, since
// setting it repaints the window and would paint again without end.
class WindowShape {
public:
    WindowShape(int divisor, COLORREF outline) : divisor_(divisor), outline_(outline) {}
    void Apply(HWND window, HDC dc);
    // The whole WM_PAINT of a window that draws nothing but its outline.
    void Paint(HWND window);

private:
    int divisor_;
    COLORREF outline_;
    int width_ = -1;
    int height_ = -1;
};
