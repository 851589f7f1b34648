#include "app/qt/skin_button.h"

#include <QDesktopServices>
#include <QPainter>
#include <QUrl>

SkinButton::SkinButton(QWidget* parent) : QAbstractButton(parent) {
    // Repainted on entering and leaving, for the picture under the mouse.
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (!webAddress_.isEmpty()) QDesktopServices::openUrl(QUrl(webAddress_));
    });
}

void SkinButton::SetPictures(const QPixmap& active, const QPixmap& normal) {
    active_ = active;
    normal_ = normal;
    update();
}

void SkinButton::SetBackground(const QColor& normal, const QColor& hot) {
    background_ = normal;
    hotBackground_ = hot;
    update();
}

void SkinButton::SetTextColor(const QColor& color) {
    text_ = color;
    update();
}

void SkinButton::SetWebAddress(const QString& address) {
    webAddress_ = address;
    setCursor(Qt::PointingHandCursor);
}

bool SkinButton::ShowsActivePicture() const { return isChecked() || underMouse(); }

QSize SkinButton::PictureSize(const QPixmap& picture) const {
    // A picture larger than the button is scaled down to fit, keeping its proportions.
    QSize size = picture.deviceIndependentSize().toSize();
    if (size.width() > width() || size.height() > height()) {
        size.scale(this->size(), Qt::KeepAspectRatio);
    }
    return size;
}

int SkinButton::PictureWidth() const {
    if (normal_.isNull()) return 0;
    return text().isEmpty() ? PictureSize(normal_).width() : 3 + PictureSize(normal_).width() + 3;
}

void SkinButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (background_.isValid()) {
        painter.fillRect(rect(), underMouse() ? hotBackground_ : background_);
    }
    // Pressed, everything moves down and right by one pixel.
    const int shift = isDown() ? 1 : 0;
    const QPixmap& picture = ShowsActivePicture() ? active_ : normal_;
    int textLeft = 0;
    if (!picture.isNull()) {
        const QSize size = PictureSize(picture);
        const int x = text().isEmpty() ? (width() - size.width()) / 2 : 3;
        const int y = (height() - size.height()) / 2;
        painter.drawPixmap(QRect(QPoint(x + shift, y + shift), size), picture);
        textLeft = x + size.width() + 3;
    }
    if (!text().isEmpty()) {
        painter.setPen(isEnabled() ? text_ : palette().color(QPalette::Disabled, QPalette::Text));
        painter.setFont(font());
        const QRect area(textLeft + shift, shift, width() - textLeft, height());
        const int align = Qt::AlignVCenter | Qt::TextSingleLine |
                          (picture.isNull() ? Qt::AlignHCenter : Qt::AlignLeft);
        painter.drawText(area, align, text());
    }
    if (hasFocus() && background_.isValid()) {
        painter.setPen(QPen(text_, 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
    }
}
