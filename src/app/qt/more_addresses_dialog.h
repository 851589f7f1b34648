// Every local address with its wireless network and adapter, opened from the connection page's
// details button: a borderless, rounded dialog on the skin colour. User-interface thread.
#pragma once

#include <QDialog>
#include <QPoint>

#include "app/qt/face_texts.h"
#include "app/qt/window_shape.h"
#include "netinfo/local_addresses.h"

class QTableWidget;

class MoreAddressesDialog : public QDialog {
public:
    // The dialog only reads `addresses` while it is built.
    MoreAddressesDialog(const LocalAddressList& addresses, FaceLanguage language, QWidget* parent);

    QTableWidget* table() const { return table_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // Dragging anywhere on the background moves the captionless window.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QTableWidget* table_;
    WindowShape shape_;
    QPoint grip_{-1, -1};
};
