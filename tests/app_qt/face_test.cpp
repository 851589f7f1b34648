// The desktop face's window and tray icon: where it starts, what the tray's menu offers and
// what clicks on the icon do, and the question before quitting where there is no tray. The tray
// is clicked through the X server, as a user clicks it.
#include <X11/keysym.h>

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include "app/qt/desktop_tray.h"
#include "app/qt/skin_button.h"
#include "face_fixture.h"

namespace {

// Answers the next question box with its "Yes" (or "No") button once it is on screen, and
// records its text.
class QuestionAnswerer {
public:
    explicit QuestionAnswerer(bool yes) {
        QObject::connect(&timer_, &QTimer::timeout, [this, yes] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible()) return;
            text_ = box->text().toStdString();
            for (QAbstractButton* button : box->buttons()) {
                if (box->buttonRole(button) == (yes ? QMessageBox::YesRole : QMessageBox::NoRole)) {
                    button->click();
                }
            }
            timer_.stop();
        });
        timer_.start(20);
    }
    const std::string& text() const { return text_; }

private:
    QTimer timer_;
    std::string text_;
};

std::string MenuTexts(QMenu& menu) {
    std::string texts;
    for (QAction* action : menu.actions()) {
        texts += "[" + action->text().toStdString() + "]";
    }
    return texts;
}

}  // namespace

TEST_F(DesktopFaceTest, WithoutATrayTheWindowShowsAtStartAndClosingAsksToQuit) {
    Open(FaceLanguage::kEnglish, /*withTray=*/false);
    ASSERT_EQ(desktop_->tray(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Window().isVisible(); }));
    EXPECT_EQ(app_->ShowFlag, 1);
    EXPECT_TRUE(X().FindTopLevel("CorvaneServer", 560, 350) != 0);

    // "No" keeps everything running.
    {
        QuestionAnswerer no(false);
        QTest::mouseClick(Control<SkinButton>("close"), Qt::LeftButton);
        EXPECT_EQ(no.text(), TextsFor(FaceLanguage::kEnglish).quitQuestion);
    }
    EXPECT_TRUE(Window().isVisible());
    EXPECT_TRUE(app_->ServiceRunning());
    {
        QuestionAnswerer no(false);
        QTest::keyClick(&Window(), Qt::Key_Escape);
        EXPECT_FALSE(no.text().empty()) << "Escape did not ask";
    }
    EXPECT_TRUE(Window().isVisible());

    // "Yes" ends the program's loop, as the tray's "Shutdown" would.
    QuestionAnswerer yes(true);
    QTimer::singleShot(0, [&] { QTest::mouseClick(Control<SkinButton>("close"), Qt::LeftButton); });
    QTimer::singleShot(20000, [] { QApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(yes.text().empty());
}

TEST_F(DesktopFaceTest, TrayIconDocksAndItsClicksAndMenuReachTheWindow) {
    Open(FaceLanguage::kEnglish, /*withTray=*/true);
    ASSERT_NE(desktop_->tray(), nullptr);
    DesktopTray& tray = *desktop_->tray();
    // Hidden at start, whatever "ShowMain" says; only the icon shows.
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(app_->ShowFlag, 0);
    EXPECT_EQ(tray.icon().toolTip().toStdString(), "VolaServer");
    unsigned long icon = 0;
    ASSERT_TRUE(WaitUntil([&] { return (icon = X().FindTrayIcon("CorvaneServer")) != 0; }))
        << "the icon did not dock in the tray host";

    // The menu: "Config" (the default, unchecked while the window is hidden), "About",
    // a separator, "Shutdown".
    QMenu& menu = tray.menu();
    ASSERT_TRUE(OpenTrayMenu(icon, menu)) << "no menu on a right click";
    EXPECT_EQ(MenuTexts(menu), "[Config][About][][Shutdown]");
    EXPECT_EQ(menu.defaultAction(), menu.actions()[0]);
    EXPECT_FALSE(menu.actions()[0]->isChecked());
    X().Key(XK_Escape);
    ASSERT_TRUE(WaitUntil([&] { return !menu.isVisible(); }));

    // A double click shows the window, and a second one leaves it shown: by the time the menu
    // of a later right click is up, the clicks before it have been handled.
    X().ClickWindow(icon, 1, 2);
    ASSERT_TRUE(WaitUntil([&] { return Window().isVisible(); })) << "double click did nothing";
    EXPECT_EQ(app_->ShowFlag, 1);
    X().ClickWindow(icon, 1, 2);
    X().ClickWindow(icon, 3);
    ASSERT_TRUE(WaitUntil([&] { return MenuReady(menu); }));
    EXPECT_TRUE(Window().isVisible());
    EXPECT_TRUE(menu.actions()[0]->isChecked()) << "Config unchecked with the window shown";
    X().Key(XK_Escape);
    ASSERT_TRUE(WaitUntil([&] { return !menu.isVisible(); }));

    // The close button hides it where there is a tray; "About" brings it back on that page.
    QTest::mouseClick(Control<SkinButton>("close"), Qt::LeftButton);
    EXPECT_FALSE(Window().isVisible());
    EXPECT_EQ(app_->ShowFlag, 0);
    X().ClickWindow(icon, 3);
    ASSERT_TRUE(WaitUntil([&] { return MenuReady(menu); }));
    const QRect about = menu.actionGeometry(menu.actions()[1]).translated(menu.pos());
    X().Click(about.center().x(), about.center().y());
    ASSERT_TRUE(WaitUntil([&] { return Window().isVisible(); })) << "About did not show it";
    EXPECT_EQ(Window().SelectedPage(), DesktopWindow::Page::kAbout);
    EXPECT_TRUE(Control<SkinButton>("aboutButton")->isChecked());
    EXPECT_FALSE(Control<SkinButton>("basicButton")->isChecked());

    // "Shutdown" ends the loop.
    QTimer::singleShot(0, [&] { X().ClickWindow(icon, 3); });
    QTimer picker;
    QObject::connect(&picker, &QTimer::timeout, [&] {
        if (!MenuReady(menu)) return;
        const QRect shutdown = menu.actionGeometry(menu.actions()[3]).translated(menu.pos());
        X().Click(shutdown.center().x(), shutdown.center().y());
        picker.stop();
    });
    picker.start(20);
    QTimer::singleShot(20000, [] { QApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0) << "Shutdown did not end the loop";
}
