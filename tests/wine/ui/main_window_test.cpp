// The main window inside the test program: hidden start, tray messages and menu, commands,
// the login popup handed over from connection threads, and the orderly shutdown.
#include <atomic>
#include <thread>

#include "app/win32/connection_popup.h"
#include "app/win32/program.h"
#include "app/win32/window_shape.h"
#include "phone_client.h"
#include "resource.h"
#include "shell/settings_store.h"
#include "support/text.h"
#include "ui_fixture.h"

namespace {

bool Visible(HWND window) { return IsWindowVisible(window) != FALSE; }

bool Checked(HWND dialog, int id) {
    return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TrayMouse(HWND window, UINT mouseMessage) {
    SendMessageW(window, kTrayCallbackMessage, 0, mouseMessage);
}

// A presentation program host whose first look for a running program (the worker's idle
// refresh) waits until the shutdown has begun to stop the worker, then sends the main window a
// message and waits for the answer, as the cursor restore's settings broadcast does.
class HostThatSendsToTheWindow : public AutomationHost {
public:
    std::int32_t LookUpClass(const char*) override { return kClassStringError; }
    std::shared_ptr<_Application> Create(const char*, std::int32_t* hr) override {
        *hr = kClassStringError;
        return nullptr;
    }
    std::shared_ptr<_Application> GetRunning(const char*) override {
        if (entered.exchange(true)) return nullptr;
        const ULONGLONG deadline = GetTickCount64() + 30000;
        MainWindow* main = nullptr;
        while (GetTickCount64() < deadline) {
            main = window.load();
            // The shutdown lets go of the worker right before it waits for it.
            if (main != nullptr && main->worker.load() == nullptr) break;
            Sleep(5);
        }
        if (main != nullptr) {
            DWORD_PTR result = 0;
            answered =
                SendMessageTimeoutW(main->handle(), WM_NULL, 0, 0, SMTO_BLOCK, 20000, &result) != 0;
        }
        return nullptr;
    }
    bool GetWindowRect(WindowHandle, WindowRect*) override { return false; }
    void SetForegroundWindow(WindowHandle) override {}
    void SetActiveWindow(WindowHandle) override {}
    void InstallPenCursor() override {}
    void RestoreSystemCursors() override {}

    std::atomic<MainWindow*> window{nullptr};
    std::atomic<bool> entered{false};
    std::atomic<bool> answered{false};
};

}  // namespace

TEST_F(MainWindowTest, ShutdownAnswersTheWindowWhileItWaitsForTheWorker) {
    auto owned = std::make_unique<HostThatSendsToTheWindow>();
    HostThatSendsToTheWindow* host = owned.get();
    Open(kEnglish, std::move(owned));
    host->window = window_.get();
    ASSERT_TRUE(PumpUntil([&] { return host->entered.load(); }, 10000));
    ShutDown();
    EXPECT_TRUE(host->answered);
    EXPECT_FALSE(window_->ThreadsLeftBehind());
}

TEST_F(MainWindowTest, StartsHiddenAndStaysHiddenUntilAskedFromTheTray) {
    Open();
    ASSERT_NE(Main(), nullptr);
    EXPECT_FALSE(Visible(Main()));
    EXPECT_EQ(window_->ShowFlag, 0);
    EXPECT_EQ(TextOf(Main()), "CorvaneServer");
    EXPECT_EQ(FindWindowA(nullptr, "CorvaneServer"), Main());
    // Show requests are stripped while the window is hidden by choice.
    ShowWindow(Main(), SW_SHOW);
    SetWindowPos(Main(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
    EXPECT_FALSE(Visible(Main()));
    EXPECT_TRUE(Checked(Main(), IDC_PAGE_BASIC));
    EXPECT_TRUE(window_->ServiceRunning());
    // First start: the settings the start-up writes, and the autostart entry.
    EXPECT_EQ(Setting(kShowMainKey), "yes");
    EXPECT_EQ(Setting(kPasswdKey), "735");
    EXPECT_FALSE(Setting(kPcNameKey).empty());
    EXPECT_EQ(Setting(kAutoStartKey), "yes");
    EXPECT_NE(RunValue(), "<none>");

    TrayMouse(Main(), WM_LBUTTONDBLCLK);
    EXPECT_TRUE(Visible(Main()));
    EXPECT_EQ(window_->ShowFlag, 1);
    TrayMouse(Main(), WM_LBUTTONDBLCLK);
    EXPECT_FALSE(Visible(Main()));
    EXPECT_EQ(window_->ShowFlag, 0);
    TrayMouse(Main(), WM_MOUSEMOVE);  // anything else is ignored
    EXPECT_FALSE(Visible(Main()));
}

TEST_F(MainWindowTest, CommandsShowHideAndSelectPages) {
    Open();
    SendMessageW(Main(), WM_COMMAND, ID_TRAY_CONFIG, 0);
    EXPECT_TRUE(Visible(Main()));
    EXPECT_TRUE(Visible(Basic()));
    for (int hide : {IDOK, IDCANCEL}) {
        Click(Main(), hide);
        EXPECT_FALSE(Visible(Main())) << hide;
        EXPECT_EQ(window_->ShowFlag, 0);
        SendMessageW(Main(), WM_COMMAND, ID_TRAY_CONFIG, 0);
        EXPECT_TRUE(Visible(Main()));
    }
    SendMessageW(Main(), WM_CLOSE, 0, 0);  // the close request hides as well (posted on)
    EXPECT_TRUE(PumpUntil([&] { return !Visible(Main()); }, 2000));

    SendMessageW(Main(), WM_COMMAND, ID_TRAY_ABOUT, 0);
    EXPECT_TRUE(Visible(Main()));
    EXPECT_TRUE(Visible(About()));
    EXPECT_FALSE(Visible(Basic()));
    EXPECT_FALSE(Visible(Advanced()));
    EXPECT_TRUE(Checked(Main(), IDC_PAGE_ABOUT));
    EXPECT_FALSE(Checked(Main(), IDC_PAGE_BASIC));

    Press(Main(), IDC_PAGE_ADVANCED);
    EXPECT_TRUE(Visible(Advanced()));
    EXPECT_FALSE(Visible(About()));
    EXPECT_TRUE(Checked(Main(), IDC_PAGE_ADVANCED));
    EXPECT_FALSE(Checked(Main(), IDC_PAGE_ABOUT));
    Press(Main(), IDC_PAGE_BASIC);
    EXPECT_TRUE(Visible(Basic()));
    EXPECT_FALSE(Visible(Advanced()));

    // The pages sit at 165,50 of the window's client area.
    POINT place{0, 0};
    MapWindowPoints(Basic(), Main(), &place, 1);
    EXPECT_EQ(place.x, 165);
    EXPECT_EQ(place.y, 50);

    // The window took its shape when it painted.
    Pump(200);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(GetWindowRgn(Main(), region), ERROR);
    RECT rect{};
    GetWindowRect(Main(), &rect);
    HRGN expected = MakeRoundedRegion(rect.right - rect.left, rect.bottom - rect.top, 250);
    EXPECT_TRUE(EqualRgn(region, expected));
    DeleteObject(expected);
    DeleteObject(region);

    // The link shows the hand and opens the maker's address.
    HWND link = GetDlgItem(Main(), IDC_LINK);
    EXPECT_TRUE(SendMessageW(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(GetCursor(), LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_HAND_LINK)));
    Press(Main(), IDC_LINK);
    EXPECT_EQ(openedAddress_, "https://example.com/");
}

namespace {

struct ColorAnswer {
    COLORREF brush = CLR_INVALID;  // CLR_INVALID: no brush of its own
    COLORREF text = CLR_INVALID;
    int backgroundMode = 0;
};

// What a window answers when `control` asks for its colours with `message`.
ColorAnswer AskColors(HWND window, UINT message, HWND control) {
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkMode(dc, OPAQUE);
    auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
        window, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    ColorAnswer answer;
    LOGBRUSH info{};
    if (brush && GetObjectW(brush, sizeof info, &info)) answer.brush = info.lbColor;
    answer.text = GetTextColor(dc);
    answer.backgroundMode = GetBkMode(dc);
    DeleteDC(dc);
    return answer;
}

}  // namespace

TEST_F(MainWindowTest, WindowsAndPagesAnswerWithTheirColours) {
    Open();
    EXPECT_EQ(AskColors(Main(), WM_CTLCOLORDLG, Main()).brush, 0xA08167u);
    EXPECT_EQ(AskColors(Main(), WM_CTLCOLORBTN, GetDlgItem(Main(), IDC_LINK)).brush, 0xA08167u);

    ColorAnswer label =
        AskColors(Basic(), WM_CTLCOLORSTATIC, GetDlgItem(Basic(), IDC_ADDRESS_TEXT));
    EXPECT_EQ(label.brush, 0xE6D2C8u);
    EXPECT_EQ(label.backgroundMode, TRANSPARENT);
    EXPECT_EQ(label.text, RGB(1, 2, 3));
    ColorAnswer note =
        AskColors(Basic(), WM_CTLCOLORSTATIC, GetDlgItem(Basic(), IDC_FIREWALL_NOTE));
    EXPECT_EQ(note.text, RGB(255, 0, 0));
    EXPECT_EQ(AskColors(Basic(), WM_CTLCOLORDLG, Basic()).brush, 0xE6D2C8u);

    ColorAnswer slider =
        AskColors(Advanced(), WM_CTLCOLORSTATIC, GetDlgItem(Advanced(), IDC_HORIZONTAL_SLIDER));
    EXPECT_EQ(slider.brush, 0xD2B496u);
    EXPECT_EQ(slider.backgroundMode, TRANSPARENT);

    // The about page keeps the system's colours.
    EXPECT_EQ(AskColors(About(), WM_CTLCOLORDLG, About()).brush, GetSysColor(COLOR_BTNFACE));

    ColorAnswer popupText =
        AskColors(Popup(), WM_CTLCOLORSTATIC, GetDlgItem(Popup(), IDC_POPUP_TEXT));
    EXPECT_EQ(popupText.brush, 0xA08167u);
    EXPECT_EQ(popupText.text, 0xF5FFFAu);
    EXPECT_EQ(popupText.backgroundMode, TRANSPARENT);
}

TEST_F(MainWindowTest, TrayMenuMarksTheDefaultAndTheVisibleState) {
    Open();
    MenuSeen hidden = InspectTrayMenu(Main(), "");
    ASSERT_TRUE(hidden.found);
    EXPECT_EQ(hidden.items, 4);
    EXPECT_EQ(hidden.defaultItem, static_cast<UINT>(ID_TRAY_CONFIG));
    EXPECT_FALSE(hidden.configChecked);
    EXPECT_EQ(hidden.texts, "[Config][About][][Shutdown]");

    SendMessageW(Main(), WM_COMMAND, ID_TRAY_CONFIG, 0);
    MenuSeen visible = InspectTrayMenu(Main(), "tray-menu-en");
    ASSERT_TRUE(visible.found);
    EXPECT_TRUE(visible.configChecked);
    // The menu is gone and the window carries on.
    Pump(100);
    EXPECT_TRUE(Visible(Main()));
}

TEST_F(MainWindowTest, LoginNoticeComesFromConnectionThreadsAndHidesAfterFiveSeconds) {
    Open();
    PhoneClient phone(Port());
    ASSERT_TRUE(phone.Connected());
    EXPECT_EQ(phone.Login("id-1,Tester", "735"), "Login:OK\n");
    ASSERT_TRUE(PumpUntil([&] { return Visible(Popup()); }, 3000));
    const ULONGLONG shown = GetTickCount64();
    EXPECT_EQ(ItemText(Popup(), IDC_POPUP_TEXT), "Tester");
    EXPECT_FALSE(Visible(Main()));  // shown although the main window is hidden

    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT rect{};
    GetWindowRect(Popup(), &rect);
    POINT expected = PopupPosition(work, rect.right - rect.left, rect.bottom - rect.top);
    EXPECT_EQ(rect.left, expected.x);
    EXPECT_EQ(rect.top, expected.y);
    EXPECT_TRUE(GetWindowLongW(Popup(), GWL_EXSTYLE) & WS_EX_TOPMOST);

    // A second login two seconds later shows its name and restarts the five seconds.
    Pump(2000);
    PhoneClient second(Port());
    EXPECT_EQ(second.Login("id-2,Second", "735"), "Login:OK\n");
    ASSERT_TRUE(PumpUntil([&] { return ItemText(Popup(), IDC_POPUP_TEXT) == "Second"; }, 3000));
    const ULONGLONG restarted = GetTickCount64();
    ASSERT_TRUE(PumpUntil([&] { return !Visible(Popup()); }, 8000));
    const ULONGLONG hidden = GetTickCount64();
    EXPECT_GE(hidden - restarted, 4500u);
    EXPECT_GE(hidden - shown, 6500u);

    // The close button hides at once.
    window_->ShowConnectionPopup("Closer");
    ASSERT_TRUE(PumpUntil([&] { return Visible(Popup()); }, 3000));
    EXPECT_EQ(ItemText(Popup(), IDC_POPUP_TEXT), "Closer");
    Press(Popup(), IDC_POPUP_CLOSE);
    EXPECT_FALSE(Visible(Popup()));
}

TEST_F(MainWindowTest, ShutdownStopsTheServiceAndRecordsTheExitSettings) {
    Open();
    const std::uint16_t port = Port();
    SendMessageW(Main(), WM_COMMAND, ID_TRAY_CONFIG, 0);
    HWND main = Main();
    HWND popup = Popup();
    ShutDown();
    EXPECT_FALSE(IsWindow(main));
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_FALSE(window_->ServiceRunning());
    EXPECT_FALSE(PhoneClient(port).Connected());
    EXPECT_EQ(Setting(kVertKey), "50");
    EXPECT_EQ(Setting(kHorzKey), "50");
    EXPECT_EQ(Setting(kShowMainKey), "yes");  // it was visible at the end
}

TEST_F(MainWindowTest, TaskbarRestartKeepsTheWindowWorking) {
    Open();
    SendMessageW(Main(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    TrayMouse(Main(), WM_LBUTTONDBLCLK);
    EXPECT_TRUE(Visible(Main()));
}

TEST(InterfaceLanguage, OnlyChinesePrcKeepsChinese) {
    for (LANGID other : {LANGID(0x0404), LANGID(0x1004), LANGID(0x0407), LANGID(0x0409)}) {
        SetThreadLocale(MAKELCID(0x0804, SORT_DEFAULT));
        ChooseInterfaceLanguage(other);
        EXPECT_EQ(LANGIDFROMLCID(GetThreadLocale()), 0x0409) << std::hex << other;
        EXPECT_EQ(GetThreadUILanguage(), 0x0409) << std::hex << other;
    }
    SetThreadLocale(MAKELCID(0x0804, SORT_DEFAULT));
    ChooseInterfaceLanguage(0x0804);
    EXPECT_EQ(LANGIDFROMLCID(GetThreadLocale()), 0x0804);
    SetThreadLocale(MAKELCID(0x0409, SORT_DEFAULT));
}

TEST(WindowShape, CornersAreCutAndRounded) {
    // The address dialog's proportions: corners of h / 50 = 5 pixels.
    HRGN region = MakeRoundedRegion(458, 258, 50);
    EXPECT_FALSE(PtInRegion(region, 0, 0));
    EXPECT_FALSE(PtInRegion(region, 457, 0));
    EXPECT_FALSE(PtInRegion(region, 0, 257));
    EXPECT_FALSE(PtInRegion(region, 457, 257));
    for (POINT p : {POINT{5, 5}, POINT{452, 5}, POINT{5, 252}, POINT{452, 252}, POINT{229, 0},
                    POINT{0, 129}, POINT{229, 257}, POINT{457, 129}}) {
        EXPECT_TRUE(PtInRegion(region, p.x, p.y)) << p.x << "," << p.y;
    }
    DeleteObject(region);
    // The popup's: 67 / 130 is 0, so nothing is cut.
    region = MakeRoundedRegion(215, 67, 130);
    EXPECT_TRUE(PtInRegion(region, 0, 0));
    EXPECT_TRUE(PtInRegion(region, 214, 66));
    DeleteObject(region);
}

TEST_F(MainWindowTest, DraggingTheBackgroundMovesTheWindow) {
    Open();
    SendMessageW(Main(), WM_COMMAND, ID_TRAY_CONFIG, 0);
    Pump(300);
    RECT before{};
    GetWindowRect(Main(), &before);
    // A spot of bare background between the logo and the hide buttons.
    const POINT grab{before.left + 300, before.top + 20};
    std::thread mouse([&] {
        auto send = [](DWORD flags, LONG x, LONG y) {
            INPUT input{};
            input.type = INPUT_MOUSE;
            input.mi.dwFlags = flags;
            input.mi.dx = x;
            input.mi.dy = y;
            SendInput(1, &input, sizeof input);
            Sleep(60);
        };
        SetCursorPos(grab.x, grab.y);
        Sleep(200);
        send(MOUSEEVENTF_LEFTDOWN, 0, 0);
        for (int step = 1; step <= 5; ++step) {
            SetCursorPos(grab.x + 8 * step, grab.y + 6 * step);
            send(MOUSEEVENTF_MOVE, 0, 0);
        }
        send(MOUSEEVENTF_LEFTUP, 0, 0);
    });
    PumpUntil(
        [&] {
            RECT now{};
            GetWindowRect(Main(), &now);
            return now.left != before.left;
        },
        3000);
    mouse.join();
    Pump(300);
    RECT after{};
    GetWindowRect(Main(), &after);
    EXPECT_EQ(after.left - before.left, 40);
    EXPECT_EQ(after.top - before.top, 30);
    SetCursorPos(1, 1);
}
