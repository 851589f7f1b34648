#include "app/win32/main_window.h"

#include "platform/automation_host.h"
#include "platform/input.h"
#include "resource.h"

namespace {

constexpr COLORREF kSkinBackground = 0xA08167;
constexpr COLORREF kOutline = 0x141414;
constexpr COLORREF kLinkColor = RGB(255, 250, 250);
constexpr int kShapeDivisor = 250;
constexpr POINT kPagePlace{165, 50};

struct PageButtonSkin {
    int control, activeIcon, normalIcon;
};
constexpr PageButtonSkin kPageButtons[3] = {
    {IDC_PAGE_BASIC, IDI_PAGE_BASIC_CHECKED, IDI_PAGE_BASIC},
    {IDC_PAGE_ADVANCED, IDI_PAGE_ADVANCED_CHECKED, IDI_PAGE_ADVANCED},
    {IDC_PAGE_ABOUT, IDI_PAGE_ABOUT_CHECKED, IDI_PAGE_ABOUT},
};

}  // namespace

MainWindow::MainWindow(std::unique_ptr<InputInjector> input,
                       std::unique_ptr<AutomationHost> automation, ServiceEndpoints endpoints)
    : CorvaneApplication(std::move(input), std::move(automation), endpoints),
      DialogWindow(IDD_MAIN),
      basic_(*this),
      advanced_(*this),
      update_(*this),
      background_(kSkinBackground),
      shape_(kShapeDivisor, kOutline) {}

MainWindow::~MainWindow() {
    // A window still open here (a test that never shut down) ends in order first.
    if (handle() && !Modal()) End(IDCANCEL);
}

bool MainWindow::OnInitDialog() {
    HWND window = handle();
    postTarget_ = window;
    // Settings, log, hardware address, password, worker, computer name, pointer factors, the
    // service and autostart, in that order.
    Initialize();
    icon_ = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    SetWindowTextA(window, kMainWindowTitle);
    tray_.Add(window);
    SkinButtons();
    CreatePages();
    pageButtons_[0].SetCheck(true);
    // The update window: hidden, owned by this window; its initialisation starts the update
    // thread.
    update_.CreateHidden(window);
    popup_.CreateHidden(window);
    return true;
}

void MainWindow::SkinButtons() {
    HWND window = handle();
    for (int i = 0; i < 3; ++i) {
        pageButtons_[i].Attach(window, kPageButtons[i].control);
        pageButtons_[i].SetIcons(kPageButtons[i].activeIcon, kPageButtons[i].normalIcon);
        pageButtons_[i].SetTransparent(true);
    }
    minimise_.Attach(window, IDOK);
    minimise_.SetIcon(IDI_MINIMISE);
    close_.Attach(window, IDCANCEL);
    close_.SetIcon(IDI_CLOSE);
    for (SkinButton* button : {&minimise_, &close_}) {
        button->SetFlat(true);
        button->SetTransparent(true);
    }
    link_.Attach(window, IDC_LINK);
    link_.SetTransparent(true);
    link_.SetTextColor(kLinkColor);
    link_.SetCursorResource(IDC_HAND_LINK);
    link_.SetWebAddress(kMakerWebAddress);
}

void MainWindow::CreatePages() {
    HWND window = handle();
    DialogWindow* pages[3] = {&basic_, &advanced_, &about_};
    for (DialogWindow* page : pages) {
        page->Create(window);
        SetWindowPos(page->handle(), nullptr, kPagePlace.x, kPagePlace.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void MainWindow::ShowMainWindow() {
    ShowFlag = 1;
    ShowWindow(handle(), SW_SHOW);
    if (IsWindowVisible(handle())) {
        SetActiveWindow(handle());
        SetForegroundWindow(handle());
    }
}

void MainWindow::HideMainWindow() {
    ShowFlag = 0;
    ShowWindow(handle(), SW_HIDE);
}

void MainWindow::SelectPage(Page page) {
    const int chosen = static_cast<int>(page);
    for (int i = 0; i < 3; ++i) pageButtons_[i].SetCheck(i == chosen);
    DialogWindow* pages[3] = {&basic_, &advanced_, &about_};
    for (int i = 0; i < 3; ++i) {
        ShowWindow(pages[i]->handle(), i == chosen ? SW_SHOW : SW_HIDE);
        if (i == chosen && page == Page::kBasic) basic_.RefreshAddresses();
    }
}

void MainWindow::ShowConnectionPopup(const char* text) {
    HWND window = postTarget_.load();
    if (!window) return;
    {
        std::lock_guard<std::mutex> guard(popupLock_);
        popupText_ = text ? text : "";
    }
    PostMessageW(window, kShowPopupMessage, 0, 0);
}

void MainWindow::OnTrayMessage(LPARAM mouseMessage) {
    HWND window = handle();
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        const bool visible = IsWindowVisible(window) != FALSE;
        ShowFlag = visible ? 0 : 1;
        ShowWindow(window, visible ? SW_HIDE : SW_SHOW);
        if (IsWindowVisible(window)) {
            SetActiveWindow(window);
            SetForegroundWindow(window);
        }
    } else if (mouseMessage == WM_RBUTTONUP) {
        TrayIcon::ShowMenu(window);
    }
}

void MainWindow::OnCommand(int id, int code, HWND) {
    switch (id) {
        case IDOK:
        case IDCANCEL:
            HideMainWindow();  // the hide buttons, Enter, Escape and the close request
            break;
        case ID_TRAY_SHUTDOWN:
            End(IDCANCEL);
            break;
        case ID_TRAY_CONFIG:
            ShowMainWindow();
            break;
        case ID_TRAY_ABOUT:
            ShowMainWindow();
            SelectPage(Page::kAbout);
            break;
        case IDC_PAGE_BASIC:
            if (code == BN_CLICKED) SelectPage(Page::kBasic);
            break;
        case IDC_PAGE_ADVANCED:
            if (code == BN_CLICKED) SelectPage(Page::kAdvanced);
            break;
        case IDC_PAGE_ABOUT:
            if (code == BN_CLICKED) SelectPage(Page::kAbout);
            break;
        default:
            break;
    }
}

void MainWindow::OnDestroy() {
    tray_.Remove();
    // Service (its connection threads end within), worker, keys and buttons still held, the
    // settings kept for the next start, system cursors.
    Shutdown();
    postTarget_ = nullptr;
    // The update window; its destruction ends the update thread.
    update_.End(0);
    popup_.End(0);
}

void MainWindow::AnswerSentMessages() {
    MSG message;
    // Peeking delivers the messages sent to this thread; posted ones stay queued.
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void MainWindow::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(handle(), &paint);
    if (IsIconic(handle())) {
        RECT client{};
        GetClientRect(handle(), &client);
        int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
        int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
        DrawIcon(dc, x, y, icon_);
    } else {
        shape_.Apply(handle(), dc);
    }
    EndPaint(handle(), &paint);
}

bool MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    HWND window = handle();
    if (message == TrayIcon::TaskbarCreatedMessage()) {
        tray_.Restore();
        return false;
    }
    switch (message) {
        case WM_LBUTTONDOWN:
            // Dragging anywhere on the background moves the captionless window.
            SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
            return false;
        case kTrayCallbackMessage:
            OnTrayMessage(lParam);
            SetResult(0);
            *result = TRUE;
            return true;
        case kShowPopupMessage: {
            std::string text;
            {
                std::lock_guard<std::mutex> guard(popupLock_);
                text = popupText_;
            }
            if (popup_.handle()) popup_.Show(text);
            return true;
        }
        case WM_WINDOWPOSCHANGING:
            // While hidden by choice, no show request gets through (not even the system's
            // first showing of the dialog).
            if (ShowFlag == 0) reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
            return false;
        case WM_PAINT:
            Paint();
            return true;
        case WM_QUERYDRAGICON:
            *result = reinterpret_cast<INT_PTR>(icon_);
            return true;
        case WM_DESTROY:
            OnDestroy();
            return false;
        default:
            break;
    }
    if (IsControlColorMessage(message)) {
        (void)wParam;
        *result = background_.answer();
        return true;
    }
    return false;
}
