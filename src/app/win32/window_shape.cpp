#include "app/win32/window_shape.h"

#include "support/trace.h"

namespace {

// Cuts the corner's square out of the region and adds the corner's circle back.
void RoundCorner(HRGN region, RECT square, RECT circle) {
    HRGN cut = CreateRectRgn(square.left, square.top, square.right, square.bottom);
    CombineRgn(region, region, cut, RGN_DIFF);
    DeleteObject(cut);
    HRGN round = CreateEllipticRgn(circle.left, circle.top, circle.right, circle.bottom);
    CombineRgn(region, region, round, RGN_OR);
    DeleteObject(round);
}

}  // namespace

HRGN MakeRoundedRegion(int w, int h, int divisor) {
    const int side = h / divisor;
    const int diameter = 2 * h / divisor;
    const int bottomCircle = h * (divisor - 2) / divisor;
    const int bottomRightSquare = h * (divisor - 1) / divisor;
    HRGN region = CreateRectRgn(0, 0, w, h);
    RoundCorner(region, {0, 0, side, side}, {0, 0, diameter, diameter});
    RoundCorner(region, {w - side, 0, w, side}, {w - diameter, 0, w, diameter});
    RoundCorner(region, {0, h - side, side, h},
                {0, bottomCircle, diameter, bottomCircle + diameter});
    RoundCorner(region, {w - side, bottomRightSquare, w, h},
                {w - diameter, bottomCircle, w, bottomCircle + diameter});
    return region;
}

void WindowShape::Apply(HWND window, HDC dc) {
    RECT rect{};
    GetWindowRect(window, &rect);
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    TracePrintf("W=%d,H=%d\n", w, h);
    HRGN region = MakeRoundedRegion(w, h, divisor_);
    HBRUSH frame = CreateSolidBrush(outline_);
    FrameRgn(dc, region, frame, 1, 1);
    DeleteObject(frame);
    if (w == width_ && h == height_) {
        DeleteObject(region);
        return;
    }
    width_ = w;
    height_ = h;
    SetWindowRgn(window, region, TRUE);  // the window owns the region from here on
}
