// The settings page: horizontal and vertical pointer sensitivity (optionally locked together)
// and whether the program starts with the user's session.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "app/win32/settings_pages.h"
#include "resource.h"
#include "shell/settings_store.h"

namespace {

constexpr COLORREF kPageBackground = 0xD2B496;

int SliderPosition(HWND page, int slider) {
    return static_cast<int>(SendDlgItemMessageW(page, slider, TBM_GETPOS, 0, 0));
}

void SetSliderPosition(HWND page, int slider, int position) {
    SendDlgItemMessageW(page, slider, TBM_SETPOS, TRUE, position);
}

void ShowNumber(HWND page, int label, int value) {
    SetDlgItemTextA(page, label, std::to_string(value).c_str());
}

bool LockSet(HWND page) { return IsDlgButtonChecked(page, IDC_LOCK) == BST_CHECKED; }

}  // namespace

AdvancedPage::AdvancedPage(CorvaneApplication& app)
    : DialogWindow(IDD_ADVANCED_PAGE), app_(app), background_(kPageBackground) {}

bool AdvancedPage::OnInitDialog() {
    HWND page = handle();
    for (int slider : {IDC_HORIZONTAL_SLIDER, IDC_VERTICAL_SLIDER}) {
        SendDlgItemMessageW(page, slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, 100));
    }
    // The start-up sequence has read the factors and applied the autostart choice; the page
    // shows them (the number labels stay empty until a slider is first released).
    SetSliderPosition(page, IDC_HORIZONTAL_SLIDER, app_.HorizontalFactor);
    SetSliderPosition(page, IDC_VERTICAL_SLIDER, app_.VerticalFactor);
    const std::string autoStart = ReadSetting(kAutoStartKey);
    const bool on = autoStart.empty() || SettingIsYes(autoStart);
    CheckDlgButton(page, IDC_AUTOSTART, on ? BST_CHECKED : BST_UNCHECKED);
    ReadSliders();
    return true;
}

void AdvancedPage::ReadSliders() {
    app_.SetFactors(SliderPosition(handle(), IDC_HORIZONTAL_SLIDER),
                    SliderPosition(handle(), IDC_VERTICAL_SLIDER));
}

void AdvancedPage::SliderReleased(int slider) {
    HWND page = handle();
    ReadSliders();
    const bool horizontal = slider == IDC_HORIZONTAL_SLIDER;
    const int value = SliderPosition(page, slider);
    if (LockSet(page)) {
        const int other = horizontal ? IDC_VERTICAL_SLIDER : IDC_HORIZONTAL_SLIDER;
        SetSliderPosition(page, other, value);
        app_.SetFactors(value, value);
        ShowNumber(page, horizontal ? IDC_VERTICAL_VALUE : IDC_HORIZONTAL_VALUE, value);
    }
    ShowNumber(page, horizontal ? IDC_HORIZONTAL_VALUE : IDC_VERTICAL_VALUE, value);
}

void AdvancedPage::LockClicked() {
    HWND page = handle();
    ReadSliders();
    if (!LockSet(page)) return;
    const int value = app_.HorizontalFactor;
    app_.SetFactors(value, value);
    ShowNumber(page, IDC_VERTICAL_VALUE, value);
    SetSliderPosition(page, IDC_VERTICAL_SLIDER, value);
}

void AdvancedPage::AutoStartClicked() {
    HWND page = handle();
    ReadSliders();
    const bool wanted = IsDlgButtonChecked(page, IDC_AUTOSTART) == BST_CHECKED;
    const bool inForce = app_.ChangeAutoStart(wanted);
    CheckDlgButton(page, IDC_AUTOSTART, inForce ? BST_CHECKED : BST_UNCHECKED);
}

void AdvancedPage::OnCommand(int id, int code, HWND) {
    // Enter and Escape (IDOK, IDCANCEL) do nothing: a page never closes itself.
    if (code != BN_CLICKED) return;
    if (id == IDC_LOCK) LockClicked();
    if (id == IDC_AUTOSTART) AutoStartClicked();
}

bool AdvancedPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == static_cast<UINT>(NM_RELEASEDCAPTURE) &&
            (header->idFrom == IDC_HORIZONTAL_SLIDER || header->idFrom == IDC_VERTICAL_SLIDER)) {
            SliderReleased(static_cast<int>(header->idFrom));
            return true;
        }
        return false;
    }
    if (message == WM_CTLCOLORDLG || message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN) {
        if (message == WM_CTLCOLORSTATIC) SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        *result = background_.answer();
        return true;
    }
    return false;
}

AboutPage::AboutPage() : DialogWindow(IDD_ABOUT_PAGE) {}

bool AboutPage::OnInitDialog() {
    SetDlgItemTextW(handle(), IDC_ABOUT_TEXT, LoadText(IDS_ABOUT_TEXT).c_str());
    // The line reads "<Version>:  1.52"; without a version resource it stays empty (logged).
    const std::string number = CorvaneApplication::VersionLine("");
    if (!number.empty()) {
        // ":  1.52" is plain ASCII, so it widens character by character.
        std::wstring line = LoadText(IDS_VERSION) + std::wstring(number.begin(), number.end());
        SetDlgItemTextW(handle(), IDC_VERSION_LINE, line.c_str());
    }
    return true;
}
