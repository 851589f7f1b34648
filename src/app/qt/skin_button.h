// The skinned buttons of the desktop face, drawn like the Windows program's: a picture shown
// while checked or under the mouse and another one otherwise, an optional text beside it, drawn
// over the parent's background or over a colour of its own, an optional hand cursor and web
// address. User-interface thread.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <QString>

class SkinButton : public QAbstractButton {
public:
    explicit SkinButton(QWidget* parent);

    // The picture while checked or under the mouse, and the one otherwise (null: none).
    void SetPictures(const QPixmap& active, const QPixmap& normal);
    void SetPicture(const QPixmap& picture) { SetPictures(picture, picture); }
    // A background colour of its own (normal, under the mouse); without one the parent's
    // background shows through.
    void SetBackground(const QColor& normal, const QColor& hot);
    void SetTextColor(const QColor& color);
    // A click opens this address with the desktop's web browser; the cursor becomes a hand.
    void SetWebAddress(const QString& address);
    const QString& webAddress() const { return webAddress_; }

    // Whether the active picture is shown now.
    bool ShowsActivePicture() const;
    // The room the picture takes before the text (with its gaps), in pixels.
    int PictureWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void nextCheckState() override {}  // the owner keeps the check state

private:
    // The picture's drawn size: its own, or scaled down to fit the button.
    QSize PictureSize(const QPixmap& picture) const;

    QPixmap active_;
    QPixmap normal_;
    QColor background_;
    QColor hotBackground_;
    QColor text_{Qt::black};
    QString webAddress_;
};
