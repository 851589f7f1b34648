// Pictures of every page, the details dialog, the quit question and the tray menu in English
// and in Chinese, saved in <build>/screenshots/qt/ for people to look at. The checks make sure
// that every text fits its control (nothing is clipped) in the fonts this machine has.
#include <X11/keysym.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTextEdit>
#include <QTimer>
#include <QtTest/QTest>

#include "app/qt/desktop_tray.h"
#include "app/qt/face_style.h"
#include "app/qt/more_addresses_dialog.h"
#include "app/qt/skin_button.h"
#include "face_fixture.h"

namespace {

struct Language {
    FaceLanguage language;
    const char* suffix;
};
constexpr Language kLanguages[] = {{FaceLanguage::kEnglish, "en"}, {FaceLanguage::kChinese, "zh"}};

// Every control of `root` that shows a text of its own, with the ones that do not fit.
std::vector<std::string> ClippedTexts(QWidget* root) {
    std::vector<std::string> clipped;
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        const bool textual = qobject_cast<QLabel*>(widget) || qobject_cast<QCheckBox*>(widget) ||
                             dynamic_cast<SkinButton*>(widget);
        if (!textual || !widget->isVisibleTo(root)) continue;
        if (!TextFits(widget)) {
            clipped.push_back(widget->objectName().toStdString() + " (" +
                              std::to_string(widget->width()) + "x" +
                              std::to_string(widget->height()) + ")");
        }
    }
    return clipped;
}

}  // namespace

TEST_F(DesktopFaceTest, ScreenshotsOfEveryWindowInBothLanguagesWithNothingClipped) {
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.suffix);
        const std::string suffix = std::string("-") + language.suffix;
        Open(language.language, /*withTray=*/true);
        Window().ShowMainWindow();
        ASSERT_TRUE(WaitUntil([&] { return Window().isVisible(); }));
        // The address line is set to the longest thing it can show.
        for (auto page : {DesktopWindow::Page::kBasic, DesktopWindow::Page::kAdvanced,
                          DesktopWindow::Page::kAbout}) {
            Window().SelectPage(page);
            const char* name = page == DesktopWindow::Page::kBasic      ? "main-basic"
                               : page == DesktopWindow::Page::kAdvanced ? "main-advanced"
                                                                        : "main-about";
            EXPECT_EQ(ClippedTexts(&Window()), std::vector<std::string>()) << name;
            EXPECT_TRUE(DocumentFits(Control<QTextEdit>("aboutText"))) << "the about text scrolls";
            EXPECT_TRUE(
                Screenshot(Window().frameGeometry().adjusted(-12, -12, 12, 12), name + suffix));
        }
        Window().SelectPage(DesktopWindow::Page::kBasic);

        // Both service states and the longest address text fit too.
        auto* service = Control<SkinButton>("service");
        QTest::mouseClick(service, Qt::LeftButton);
        EXPECT_TRUE(TextFits(service)) << service->text().toStdString();
        QTest::mouseClick(service, Qt::LeftButton);
        auto* address = Control<QLabel>("address");
        address->setText(QString::fromStdString(TextsFor(language.language).multipleAddresses));
        EXPECT_TRUE(TextFits(address));

        // The details dialog, with rows of the kinds it shows.
        {
            LocalAddressList list = {{"192.168.1.20", "Intel(R) Ethernet Connection I219-V", ""},
                                     {"10.0.0.7", "Wireless Network Adapter", "Lecture Hall"}};
            MoreAddressesDialog dialog(list, language.language, &Window());
            dialog.show();
            ASSERT_TRUE(WaitUntil([&] { return dialog.isVisible(); }));
            EXPECT_TRUE(Screenshot(dialog.frameGeometry().adjusted(-12, -12, 12, 12),
                                   "address-dialog" + suffix));
        }

        // The hot look of a page button: the pointer over the advanced page's button.
        auto* advanced = Control<SkinButton>("advancedButton");
        const QPoint over = advanced->mapToGlobal(advanced->rect().center());
        X().MoveTo(over.x(), over.y());
        ASSERT_TRUE(WaitUntil([&] { return advanced->ShowsActivePicture(); }));
        EXPECT_TRUE(Screenshot(Window().frameGeometry().adjusted(-12, -12, 12, 12),
                               "main-hot-button" + suffix));
        X().MoveTo(1000, 700);

        // The tray menu, opened by a right click on the docked icon.
        unsigned long icon = 0;
        ASSERT_TRUE(WaitUntil([&] { return (icon = X().FindTrayIcon("CorvaneServer")) != 0; }));
        QMenu& menu = desktop_->tray()->menu();
        ASSERT_TRUE(OpenTrayMenu(icon, menu));
        ScreenRect place;
        ASSERT_TRUE(X().Geometry(icon, &place));
        const FaceTexts& texts = TextsFor(language.language);
        EXPECT_EQ(menu.actions()[0]->text().toStdString(), texts.config);
        EXPECT_EQ(menu.actions()[3]->text().toStdString(), texts.shutdown);
        // The menu and, beside it, the icon it came from.
        const QRect icons(place.x, place.y, place.w, place.h);
        EXPECT_TRUE(Screenshot(menu.geometry().united(icons).adjusted(-12, -12, 12, 12),
                               "tray-menu" + suffix));
        X().Key(XK_Escape);
        ASSERT_TRUE(WaitUntil([&] { return !menu.isVisible(); }));
        Close();

        // Without a tray: the window at start, and the question its close button asks.
        Open(language.language, /*withTray=*/false);
        ASSERT_TRUE(WaitUntil([&] { return Window().isVisible(); }));
        bool asked = false;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible()) return;
            answer.stop();
            asked = true;
            EXPECT_TRUE(Screenshot(box->frameGeometry().adjusted(-12, -12, 12, 12),
                                   "quit-question" + suffix));
            EXPECT_EQ(ClippedTexts(box), std::vector<std::string>());
            box->reject();
        });
        answer.start(20);
        QTest::mouseClick(Control<SkinButton>("close"), Qt::LeftButton);
        EXPECT_TRUE(asked);
        Close();
    }
}
