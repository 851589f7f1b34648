#include "app/qt/window_shape.h"

#include <QPainter>
#include <QWidget>

#include "shell/window_outline.h"
#include "support/trace.h"

namespace {

QRect ToRect(const OutlineRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

}  // namespace

QRegion RoundedRegion(QSize size, int divisor) {
    QRegion region(0, 0, size.width(), size.height());
    for (const OutlineCorner& corner : RoundedOutline(size.width(), size.height(), divisor)) {
        region -= QRegion(ToRect(corner.cut));
        region += QRegion(ToRect(corner.circle), QRegion::Ellipse);
    }
    return region;
}

void WindowShape::Apply(QWidget* window, QPainter& painter) {
    const QSize size = window->size();
    if (size != applied_) {
        TracePrintf("W=%d,H=%d\n", size.width(), size.height());
        applied_ = size;
        region_ = RoundedRegion(size, divisor_);
        window->setMask(region_);
    }
    // The frame: every pixel of the region that has a neighbour outside it.
    QRegion inner = region_ & region_.translated(1, 0) & region_.translated(-1, 0) &
                    region_.translated(0, 1) & region_.translated(0, -1);
    for (const QRect& r : region_ - inner) painter.fillRect(r, outline_);
}
