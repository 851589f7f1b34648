// The rounded outline of the desktop face's borderless windows, as the Windows program shapes
// its own. User-interface thread.
#pragma once

#include <QColor>
#include <QRegion>
#include <QSize>

class QPainter;
class QWidget;

// The window's region for its size (see shell/window_outline.h).
QRegion RoundedRegion(QSize size, int divisor);

// Keeps a borderless window in its rounded shape: the region is set again whenever the size
// changed since the last call, and the one-pixel frame is painted along the region's edge.
class WindowShape {
public:
    WindowShape(int divisor, QColor outline) : divisor_(divisor), outline_(outline) {}
    // From the window's paint event, with a painter on it.
    void Apply(QWidget* window, QPainter& painter);

private:
    int divisor_;
    QColor outline_;
    QSize applied_;
    QRegion region_;
};
