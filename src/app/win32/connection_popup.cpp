#include "app/win32/connection_popup.h"

#include "resource.h"

namespace {

constexpr COLORREF kSkinBackground = 0xA08167;
constexpr COLORREF kTextColor = 0xF5FFFA;
constexpr COLORREF kOutline = 0x14C8C8;
constexpr int kShapeDivisor = 130;
constexpr int kHotLightening = 40;

}  // namespace

POINT PopupPosition(const RECT& workArea, int popupWidth, int popupHeight) {
    return POINT{(workArea.right - workArea.left) - popupWidth - 10,
                 (workArea.bottom - workArea.top) - popupHeight - 2};
}

ConnectionPopup::ConnectionPopup()
    : DialogWindow(IDD_CONNECTION_POPUP),
      background_(kSkinBackground),
      shape_(kShapeDivisor, kOutline) {}

bool ConnectionPopup::CreateHidden(HWND owner) {
    if (!Create(owner)) return false;
    ShowWindow(handle(), SW_HIDE);
    created_ = true;
    return true;
}

bool ConnectionPopup::OnInitDialog() {
    close_.Attach(handle(), IDC_POPUP_CLOSE);
    close_.SetIcon(IDI_POPUP_CLOSE);
    close_.SetFlat(true);
    close_.SetBackgroundColors(kSkinBackground, kSkinBackground, kSkinBackground);
    close_.SetHotLightening(kHotLightening);
    return true;
}

void ConnectionPopup::Show(const std::string& text) {
    HWND window = handle();
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT rect{};
    GetWindowRect(window, &rect);
    POINT place = PopupPosition(work, rect.right - rect.left, rect.bottom - rect.top);
    SetDlgItemTextA(window, IDC_POPUP_TEXT, text.c_str());
    KillTimer(window, kHideTimer);
    SetTimer(window, kHideTimer, kShowMilliseconds, nullptr);
    SetWindowPos(window, HWND_TOPMOST, place.x, place.y, 0, 0, SWP_NOSIZE);
    ShowWindow(window, SW_SHOW);
}

void ConnectionPopup::OnCommand(int id, int, HWND) {
    // The close button hides at once; the running timer later only hides again.
    if (id == IDC_POPUP_CLOSE || id == IDOK || id == IDCANCEL) ShowWindow(handle(), SW_HIDE);
}

bool ConnectionPopup::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    if (message == WM_TIMER) {
        KillTimer(handle(), kHideTimer);
        ShowWindow(handle(), SW_HIDE);
        return true;
    }
    if (message == WM_WINDOWPOSCHANGING && !created_) {
        reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
        return false;
    }
    if (message == WM_PAINT) {
        shape_.Paint(handle());
        return true;
    }
    if (IsControlColorMessage(message)) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        if (message == WM_CTLCOLORSTATIC) {
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, kTextColor);
        }
        *result = background_.answer();
        return true;
    }
    return false;
}
