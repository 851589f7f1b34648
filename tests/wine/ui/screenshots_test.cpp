// Pictures of every window in English and in Chinese, for people to look at; the checks here
// only make sure each picture was taken of a visible window.
#include <string>

#include "resource.h"
#include "ui_fixture.h"

namespace {

struct Language {
    LANGID id;
    const char* suffix;
};
constexpr Language kLanguages[] = {{kEnglish, "en"}, {kChinese, "zh"}};

}  // namespace

TEST_F(MainWindowTest, ScreenshotsOfEveryWindowInBothLanguages) {
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.suffix);
        const std::string suffix = std::string("-") + language.suffix;
        Open(language.id);
        window_->ShowMainWindow();
        ASSERT_TRUE(IsWindowVisible(Main()));
        struct Shot {
            MainWindow::Page page;
            const char* name;
        };
        for (Shot shot : {Shot{MainWindow::Page::kBasic, "main-basic"},
                          Shot{MainWindow::Page::kAdvanced, "main-advanced"},
                          Shot{MainWindow::Page::kAbout, "main-about"}}) {
            window_->SelectPage(shot.page);
            EXPECT_TRUE(Screenshot(Main(), shot.name + suffix));
        }

        window_->SelectPage(MainWindow::Page::kBasic);
        window_->ShowConnectionPopup("Tester's phone");
        ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(Popup()) != FALSE; }, 3000));
        EXPECT_TRUE(Screenshot(Popup(), "popup" + suffix));
        ShowWindow(Popup(), SW_HIDE);

        EXPECT_TRUE(InspectModalDialog(
            IDC_ADDRESS_LIST,
            [&](HWND dialog) { EXPECT_TRUE(Screenshot(dialog, "address-dialog" + suffix)); },
            [&] { SendDlgItemMessageW(Basic(), IDC_ADDRESS_DETAILS, BM_CLICK, 0, 0); }));

        MenuSeen menu = InspectTrayMenu(Main(), "tray-menu" + suffix);
        EXPECT_EQ(menu.texts,
                  language.id == kChinese
                      ? "[\u914D\u7F6E\u6846][About][][\u5173\u95ED\u670D\u52A1\u7A0B\u5E8F]"
                      : "[Config][About][][Shutdown]");

        // The hot look of a page button: the pointer over the advanced page's button.
        RECT button{};
        GetWindowRect(GetDlgItem(Main(), IDC_PAGE_ADVANCED), &button);
        SetCursorPos((button.left + button.right) / 2, (button.top + button.bottom) / 2);
        Pump(300);
        EXPECT_TRUE(Screenshot(Main(), "main-hot-button" + suffix));
        SetCursorPos(1, 1);
        ShutDown();
        window_.reset();
    }
}
