#include "app/win32/window_shape.h"

#include "shell/window_outline.h"
#include "support/trace.h"

namespace {

// Cuts the corner's square out of the region and adds the corner's circle back.
void RoundCorner(HRGN region, const OutlineCorner& corner) {
    const OutlineRect& square = corner.cut;
    HRGN cut = CreateRectRgn(square.left, square.top, square.right, square.bottom);
    CombineRgn(region, region, cut, RGN_DIFF);
    DeleteObject(cut);
    const OutlineRect& circle = corner.circle;
    HRGN round = CreateEllipticRgn(circle.left, circle.top, circle.right, circle.bottom);
    CombineRgn(region, region, round, RGN_OR);
    DeleteObject(round);
}

}  // namespace

HRGN MakeRoundedRegion(int w, int h, int divisor) {
    HRGN region = CreateRectRgn(0, 0, w, h);
    for (const OutlineCorner& corner : RoundedOutline(w, h, divisor)) RoundCorner(region, corner);
    return region;
}

void WindowShape::Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    Apply(window, dc);
    EndPaint(window, &paint);
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
