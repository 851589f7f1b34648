// The settings page: horizontal and vertical pointer sensitivity (optionally locked together)
// and whether the program starts with the user's session.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "app/win32/settings_pages.h"
#include "resource.h"

namespace {

constexpr COLORREF kPageBackground = 0xD2B496;

int SliderPosition(HWND page, int slider) {
    return static_cast<int>(SendDlgItemMessageW(page, slider, TBM_GETPOS, 0, 0));
}

}  // namespace

AdvancedPage::AdvancedPage(CorvaneApplication& app)
    : DialogWindow(IDD_ADVANCED_PAGE), app_(app), sensitivity_(app), background_(kPageBackground) {}

bool AdvancedPage::OnInitDialog() {
    HWND page = handle();
    for (int slider : {IDC_HORIZONTAL_SLIDER, IDC_VERTICAL_SLIDER}) {
        SendDlgItemMessageW(page, slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, 100));
    }
    // The start-up sequence has read the factors and applied the autostart choice; the page
    // shows them (the number labels stay empty until a slider is first released).
    ShowSensitivity();
    CheckDlgButton(page, IDC_AUTOSTART, app_.AutoStartOn() ? BST_CHECKED : BST_UNCHECKED);
    return true;
}

void AdvancedPage::ShowSensitivity() {
    HWND page = handle();
    using Axis = SensitivityControls::Axis;
    SendDlgItemMessageW(page, IDC_HORIZONTAL_SLIDER, TBM_SETPOS, TRUE,
                        sensitivity_.Position(Axis::kHorizontal));
    SendDlgItemMessageW(page, IDC_VERTICAL_SLIDER, TBM_SETPOS, TRUE,
                        sensitivity_.Position(Axis::kVertical));
    SetDlgItemTextA(page, IDC_HORIZONTAL_VALUE, sensitivity_.Label(Axis::kHorizontal).c_str());
    SetDlgItemTextA(page, IDC_VERTICAL_VALUE, sensitivity_.Label(Axis::kVertical).c_str());
}

void AdvancedPage::SliderReleased(int slider) {
    using Axis = SensitivityControls::Axis;
    HWND page = handle();
    sensitivity_.Released(slider == IDC_HORIZONTAL_SLIDER ? Axis::kHorizontal : Axis::kVertical,
                          SliderPosition(page, IDC_HORIZONTAL_SLIDER),
                          SliderPosition(page, IDC_VERTICAL_SLIDER));
    ShowSensitivity();
}

void AdvancedPage::LockClicked() {
    HWND page = handle();
    sensitivity_.SetLocked(IsDlgButtonChecked(page, IDC_LOCK) == BST_CHECKED,
                           SliderPosition(page, IDC_HORIZONTAL_SLIDER),
                           SliderPosition(page, IDC_VERTICAL_SLIDER));
    ShowSensitivity();
}

void AdvancedPage::AutoStartClicked() {
    HWND page = handle();
    // Like every click on the page, this first takes the sliders as they stand.
    app_.SetFactors(SliderPosition(page, IDC_HORIZONTAL_SLIDER),
                    SliderPosition(page, IDC_VERTICAL_SLIDER));
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
