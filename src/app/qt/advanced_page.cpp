// The settings page: horizontal and vertical pointer sensitivity (optionally locked together)
// and whether the program starts with the user's session; and the about page.
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QTextEdit>

#include "app/qt/face_style.h"
#include "app/qt/settings_pages.h"
#include "shell/application.h"

namespace {

using Axis = SensitivityControls::Axis;

// The Windows trackbar keeps a margin inside its rectangle on both ends of its channel; the
// toolkit's slider draws its groove to its edges, so it is placed that much inside.
constexpr int kSliderMargin = 6;

QSlider* AddSlider(QWidget* page, const char* name, DialogRect rect) {
    auto* slider = new QSlider(Qt::Horizontal, page);
    slider->setObjectName(name);
    slider->setRange(0, 100);
    slider->setTickPosition(QSlider::NoTicks);
    Place(slider, rect, kPageUnits);
    slider->setGeometry(slider->geometry().adjusted(kSliderMargin, 0, -kSliderMargin, 0));
    return slider;
}

QCheckBox* AddCheckBox(QWidget* page, const char* name, const std::string& text, DialogRect rect) {
    auto* box = new QCheckBox(QString::fromStdString(text), page);
    box->setObjectName(name);
    Place(box, rect, kPageUnits);
    return box;
}

}  // namespace

AdvancedPage::AdvancedPage(CorvaneApplication& app, FaceLanguage language, QWidget* parent)
    : QWidget(parent), app_(app), sensitivity_(app) {
    const FaceTexts& texts = TextsFor(language);
    const AdvancedLayout& layout = AdvancedLayoutFor(language);
    SetUpPage(this, "advancedPage", kAdvancedPageColor, layout.page);
    QFrame* group = AddGroupFrame(this, layout.group);
    AddLabel(this, "title", texts.settings, layout.title, Qt::AlignHCenter | Qt::AlignTop);
    AddLabel(this, "sensitivityLabel", texts.mouseSensitivity, layout.sensitivityLabel);
    AddLabel(this, "horizontalLabel", texts.horizontal, layout.horizontalLabel);
    AddLabel(this, "verticalLabel", texts.vertical, layout.verticalLabel);
    horizontal_ = AddSlider(this, "horizontal", layout.horizontal);
    vertical_ = AddSlider(this, "vertical", layout.vertical);
    horizontalValue_ = AddLabel(this, "horizontalValue", "", layout.horizontalValue);
    verticalValue_ = AddLabel(this, "verticalValue", "", layout.verticalValue);
    lock_ = AddCheckBox(this, "lock", texts.lock, layout.lock);
    autoStart_ = AddCheckBox(this, "autoStart", texts.autoStart, layout.autoStart);

    // A slider counts as let go when the mouse releases it, and when it moved without being
    // held (keys, wheel, a click beside the handle), which sends no release.
    for (Axis axis : {Axis::kHorizontal, Axis::kVertical}) {
        QSlider* slider = axis == Axis::kHorizontal ? horizontal_ : vertical_;
        connect(slider, &QSlider::sliderReleased, this, [this, axis] { SliderLetGo(axis); });
        connect(slider, &QSlider::valueChanged, this, [this, axis, slider] {
            if (!slider->isSliderDown()) SliderLetGo(axis);
        });
    }
    connect(lock_, &QCheckBox::clicked, this, [this](bool locked) {
        sensitivity_.SetLocked(locked, horizontal_->value(), vertical_->value());
        ShowSensitivity();
    });
    connect(autoStart_, &QCheckBox::clicked, this,
            [this](bool wanted) { autoStart_->setChecked(app_.ChangeAutoStart(wanted)); });

    // The start-up sequence has read the factors and applied the autostart choice; the page
    // shows them (the number labels stay empty until a slider is first let go).
    ShowSensitivity();
    autoStart_->setChecked(app_.AutoStartOn());
    // Wide enough for three digits, so the labels never need shrinking.
    horizontalValue_->setText("100");
    verticalValue_->setText("100");
    // The Lock box may reach to the group's frame.
    const int inside = group->geometry().right() - 3;
    for (QWidget* widget : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        FitText(widget, widget == lock_ ? inside : 0);
    }
    ShowSensitivity();
}

void AdvancedPage::ShowSensitivity() {
    // Moved here, the sliders report nothing: only the user's moves are changes.
    const QSignalBlocker blockHorizontal(horizontal_);
    const QSignalBlocker blockVertical(vertical_);
    horizontal_->setValue(sensitivity_.Position(Axis::kHorizontal));
    vertical_->setValue(sensitivity_.Position(Axis::kVertical));
    horizontalValue_->setText(QString::fromStdString(sensitivity_.Label(Axis::kHorizontal)));
    verticalValue_->setText(QString::fromStdString(sensitivity_.Label(Axis::kVertical)));
}

void AdvancedPage::SliderLetGo(Axis axis) {
    sensitivity_.Released(axis, horizontal_->value(), vertical_->value());
    ShowSensitivity();
}

AboutPage::AboutPage(FaceLanguage language, QWidget* parent) : QWidget(parent) {
    const FaceTexts& texts = TextsFor(language);
    SetUpPage(this, "aboutPage", kAboutPageColor, kAbout.page);
    auto* text = new QTextEdit(this);
    text->setObjectName("aboutText");
    text->setPlainText(QString::fromStdString(texts.aboutText));
    text->setReadOnly(true);
    // Long lines wrap at the box's edge, and the whole text shows without a scroll bar, as in
    // the Windows program's multi-line field.
    text->setLineWrapMode(QTextEdit::WidgetWidth);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    text->document()->setDocumentMargin(3);
    Place(text, kAbout.text, kPageUnits);
    FitDocument(text);
    // "Version:  1.52"; without a version it stays empty (and the log says why).
    AddLabel(this, "version", CorvaneApplication::VersionLine(texts.version.c_str()),
             kAbout.version);
}
