#include "app/qt/face_style.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QTextDocument>
#include <QTextEdit>
#include <QWidget>

#include "app/qt/skin_button.h"

namespace {

// Arial's metrics are the closest widely installed ones to the Windows dialogs' Tahoma; the
// Chinese faces come in for the glyphs the Latin ones lack.
const QStringList kLatinFaces = {"Tahoma", "Liberation Sans", "Arimo", "Arial"};
const QStringList kChineseFaces = {"WenQuanYi Micro Hei", "Noto Sans CJK SC",
                                   "Droid Sans Fallback"};

bool Wraps(const QLabel* label) { return label->wordWrap() || label->text().contains('\n'); }

// The width a widget asks for to show its whole text on one line (a label that wraps: within
// its own width).
int NeededWidth(const QWidget* widget) {
    if (auto* label = qobject_cast<const QLabel*>(widget)) {
        if (Wraps(label)) return label->width();
        QFontMetrics metrics(label->font());
        return metrics.horizontalAdvance(label->text()) + 2 * label->margin() + 1;
    }
    if (auto* skin = dynamic_cast<const SkinButton*>(widget)) {
        QFontMetrics metrics(skin->font());
        return skin->PictureWidth() + metrics.horizontalAdvance(skin->text());
    }
    if (auto* check = qobject_cast<const QCheckBox*>(widget)) return check->sizeHint().width();
    return 0;
}

int NeededHeight(const QWidget* widget) {
    QFontMetrics metrics(widget->font());
    if (auto* label = qobject_cast<const QLabel*>(widget); label != nullptr && Wraps(label)) {
        const QRect room(0, 0, label->contentsRect().width(), 100000);
        return metrics.boundingRect(room, Qt::TextWordWrap, label->text()).height() +
               label->height() - label->contentsRect().height();
    }
    return metrics.height();
}

}  // namespace

QPixmap Picture(const QString& name) { return QPixmap(":/artwork/" + name); }

QPixmap PageButtonPicture(const char* page, bool checked, FaceLanguage language) {
    const QString name =
        QString("page_%1%2_%3.ico")
            .arg(page, checked ? "_checked" : "", language == FaceLanguage::kChinese ? "zh" : "en");
    return Picture(name);
}

QFont DialogFont(int pixelSize) {
    QFont font;
    font.setFamilies(kLatinFaces + kChineseFaces);
    font.setPixelSize(pixelSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont NoteFont() {
    QFont font = DialogFont();
    font.setFamilies(QStringList{"Microsoft YaHei"} + kLatinFaces + kChineseFaces);
    return font;
}

QRect ToQRect(const PixelRect& r) { return QRect(r.x, r.y, r.w, r.h); }

void Place(QWidget* widget, DialogRect rect, BaseUnits units) {
    widget->setGeometry(ToQRect(ToPixels(rect, units)));
}

void FitText(QWidget* widget, int growTo) {
    if (NeededWidth(widget) > widget->width() && widget->x() + NeededWidth(widget) <= growTo) {
        widget->resize(NeededWidth(widget), widget->height());
    }
    QFont font = widget->font();
    while (font.pixelSize() > 8 && NeededWidth(widget) > widget->width()) {
        font.setPixelSize(font.pixelSize() - 1);
        widget->setFont(font);
    }
    // A text taller than a Windows static control (their fonts need a pixel less) grows the
    // control downwards rather than losing its descenders.
    if (NeededHeight(widget) > widget->height()) {
        widget->resize(widget->width(), NeededHeight(widget));
    }
}

bool TextFits(const QWidget* widget) {
    return NeededWidth(widget) <= widget->width() && NeededHeight(widget) <= widget->height();
}

namespace {

// The height the box's text needs at the box's width.
int DocumentHeight(const QTextEdit* box) {
    QTextDocument* document = box->document();
    document->setTextWidth(box->width() - 2 * box->frameWidth());
    return static_cast<int>(document->size().height() + 0.5);
}

}  // namespace

void FitDocument(QTextEdit* box) {
    QFont font = box->font();
    while (font.pixelSize() > 8 && !DocumentFits(box)) {
        font.setPixelSize(font.pixelSize() - 1);
        box->setFont(font);
        box->document()->setDefaultFont(font);
    }
}

bool DocumentFits(const QTextEdit* box) {
    return DocumentHeight(box) <= box->height() - 2 * box->frameWidth();
}

void SetBackground(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void SetUpPage(QWidget* page, const char* name, const QColor& background, DialogRect rect) {
    page->setObjectName(name);
    page->setFont(DialogFont());
    SetBackground(page, background);
    Place(page, rect, kPageUnits);
}

QLabel* AddLabel(QWidget* page, const char* name, const std::string& text, DialogRect rect,
                 Qt::Alignment align) {
    auto* label = new QLabel(QString::fromStdString(text), page);
    label->setObjectName(name);
    label->setAlignment(align);
    Place(label, rect, kPageUnits);
    return label;
}

QFrame* AddGroupFrame(QWidget* page, DialogRect rect) {
    auto* frame = new QFrame(page);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Place(frame, rect, kPageUnits);
    return frame;
}
