#include "app/qt/desktop_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QWindow>

#include "app/qt/face_style.h"
#include "app/qt/settings_pages.h"
#include "app/qt/skin_button.h"
#include "shell/application.h"

namespace {

constexpr const char* kPageNames[3] = {"basic", "advanced", "about"};

}  // namespace

DesktopWindow::DesktopWindow(CorvaneApplication& app, FaceLanguage language, bool hasTray)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      app_(app),
      language_(language),
      hasTray_(hasTray),
      shape_(kMainShapeDivisor, kOutlineColor) {
    const FaceTexts& texts = TextsFor(language);
    setObjectName("mainWindow");
    setWindowTitle(QString::fromStdString(texts.title));
    setWindowIcon(QIcon(":/artwork/app.ico"));
    SetBackground(this, kSkinColor);
    setFixedSize(ToQRect(ToPixels(kMain.window, kMainUnits)).size());
    setFont(DialogFont(12));

    auto* logo = new QLabel(this);
    logo->setObjectName("logo");
    logo->setPixmap(Picture("logo.bmp"));
    const PixelRect logoPlace = ToPixels(kMain.logo, kMainUnits);
    logo->setGeometry(logoPlace.x, logoPlace.y, logo->pixmap().width(), logo->pixmap().height());

    for (int i = 0; i < 3; ++i) {
        SkinButton* button = new SkinButton(this);
        button->setObjectName(QString("%1Button").arg(kPageNames[i]));
        button->setCheckable(true);
        button->SetPictures(PageButtonPicture(kPageNames[i], true, language),
                            PageButtonPicture(kPageNames[i], false, language));
        Place(button, kMain.pageButtons[i], kMainUnits);
        connect(button, &QAbstractButton::clicked, this,
                [this, i] { SelectPage(static_cast<Page>(i)); });
        pageButtons_[i] = button;
    }

    auto* minimise = new SkinButton(this);
    minimise->setObjectName("minimise");
    minimise->SetPicture(Picture("minimise.ico"));
    Place(minimise, kMain.minimise, kMainUnits);
    connect(minimise, &QAbstractButton::clicked, this, [this] {
        // Without a tray the window goes to the task bar instead of vanishing.
        if (hasTray_) {
            HideMainWindow();
        } else {
            showMinimized();
        }
    });
    auto* close = new SkinButton(this);
    close->setObjectName("close");
    close->SetPicture(Picture("close.ico"));
    Place(close, kMain.close, kMainUnits);
    connect(close, &QAbstractButton::clicked, this, [this] { CloseRequested(); });

    auto* link = new SkinButton(this);
    link->setObjectName("link");
    link->setText(QString::fromStdString(texts.link));
    link->SetTextColor(kLinkColor);
    link->SetWebAddress(QString::fromStdString(texts.link));
    Place(link, kMain.link, kMainUnits);
    FitText(link);

    basic_ = new BasicPage(app_, language, this);
    advanced_ = new AdvancedPage(app_, language, this);
    about_ = new AboutPage(language, this);
    for (QWidget* page : {static_cast<QWidget*>(basic_), static_cast<QWidget*>(advanced_),
                          static_cast<QWidget*>(about_)}) {
        page->move(kMain.pageX, kMain.pageY);
    }
    SelectPage(Page::kBasic);
    app_.ShowFlag = 0;
}

void DesktopWindow::ShowMainWindow() {
    app_.ShowFlag = 1;
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
}

void DesktopWindow::HideMainWindow() {
    app_.ShowFlag = 0;
    hide();
}

void DesktopWindow::SelectPage(Page page) {
    selected_ = page;
    const int chosen = static_cast<int>(page);
    QWidget* pages[3] = {basic_, advanced_, about_};
    for (int i = 0; i < 3; ++i) {
        pageButtons_[i]->setChecked(i == chosen);
        pages[i]->setVisible(i == chosen);
        if (i == chosen && page == Page::kBasic) basic_->RefreshAddresses();
    }
}

bool DesktopWindow::AskToQuit() {
    const FaceTexts& texts = TextsFor(language_);
    QMessageBox question(QMessageBox::Question, QString::fromStdString(texts.title),
                         QString::fromStdString(texts.quitQuestion), QMessageBox::NoButton, this);
    question.setObjectName("quitQuestion");
    const bool chinese = language_ == FaceLanguage::kChinese;
    QPushButton* yes = question.addButton(chinese ? "是" : "Yes", QMessageBox::YesRole);
    QPushButton* no = question.addButton(chinese ? "否" : "No", QMessageBox::NoRole);
    question.setDefaultButton(no);
    question.setEscapeButton(no);
    question.exec();
    return question.clickedButton() == yes;
}

void DesktopWindow::CloseRequested() {
    if (hasTray_) {
        HideMainWindow();
        return;
    }
    if (!AskToQuit()) return;
    quitting_ = true;
    QApplication::exit(0);
}

void DesktopWindow::closeEvent(QCloseEvent* event) {
    // The window only ever hides (or, without a tray, ends the program after asking); it is
    // destroyed with the face.
    event->ignore();
    if (!quitting_) CloseRequested();
}

void DesktopWindow::keyPressEvent(QKeyEvent* event) {
    // Escape does what the close button does; the pages never close themselves.
    if (event->key() == Qt::Key_Escape) {
        CloseRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

void DesktopWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    shape_.Apply(this, painter);
}

void DesktopWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    // The window manager moves it where there is one; otherwise the window follows the mouse.
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    grip_ = event->position().toPoint();
}

void DesktopWindow::mouseMoveEvent(QMouseEvent* event) {
    if (grip_.x() < 0 || !(event->buttons() & Qt::LeftButton)) return;
    move(event->globalPosition().toPoint() - grip_);
}

void DesktopWindow::mouseReleaseEvent(QMouseEvent*) { grip_ = QPoint(-1, -1); }
