// The connection page: service on/off, the computer name phones see, the login password and
// the local address.
#include <windows.h>

#include <commctrl.h>

#include <cwchar>

#include "app/win32/more_addresses_dialog.h"
#include "app/win32/settings_pages.h"
#include "resource.h"

namespace {

constexpr COLORREF kPageBackground = 0xE6D2C8;
constexpr COLORREF kSkinBackground = 0xA08167;
constexpr COLORREF kNoteColor = RGB(255, 0, 0);
// "微软雅黑" (Microsoft YaHei), the face of the firewall note.
constexpr wchar_t kNoteFace[] = L"\u5FAE\u8F6F\u96C5\u9ED1";

}  // namespace

BasicPage::BasicPage(CorvaneApplication& app)
    : DialogWindow(IDD_BASIC_PAGE), app_(app), background_(kPageBackground) {}

BasicPage::~BasicPage() {
    if (noteFont_) DeleteObject(noteFont_);
}

bool BasicPage::OnInitDialog() {
    HWND page = handle();
    filling_ = true;
    service_.Attach(page, IDC_SERVICE_BUTTON);
    service_.SetIcons(IDI_SERVICE_ON, IDI_SERVICE_OFF);
    service_.SetTransparent(true);
    service_.SetFlat(true);

    const bool hidden = app_.PasswordHidden();
    CheckDlgButton(page, IDC_HIDE_PASSWORD, hidden ? BST_CHECKED : BST_UNCHECKED);
    ApplyPasswordMask(hidden);
    ShowServiceState();

    details_.Attach(page, IDC_ADDRESS_DETAILS);
    details_.SetBackgroundColors(kSkinBackground, kSkinBackground, kSkinBackground);
    details_.SetFlat(true);
    RefreshAddresses();

    // The start-up sequence has read (or defaulted and stored) the name and the password.
    SetDlgItemTextA(page, IDC_COMPUTER_NAME, app_.ComputerName().c_str());
    SetDlgItemTextA(page, IDC_PASSWORD, app_.Password().c_str());
    SetTimer(page, kAddressTimer, kAddressMilliseconds, nullptr);

    HFONT pageFont = reinterpret_cast<HFONT>(SendMessageW(page, WM_GETFONT, 0, 0));
    LOGFONTW face{};
    if (pageFont && GetObjectW(pageFont, sizeof face, &face)) {
        wcsncpy(face.lfFaceName, kNoteFace, LF_FACESIZE - 1);
        noteFont_ = CreateFontIndirectW(&face);
        SendDlgItemMessageW(page, IDC_FIREWALL_NOTE, WM_SETFONT,
                            reinterpret_cast<WPARAM>(noteFont_), TRUE);
    }
    filling_ = false;
    return true;
}

void BasicPage::ShowServiceState() {
    const bool running = app_.ServiceRunning();
    service_.SetCheck(running);
    SetWindowTextW(service_.handle(), LoadText(running ? IDS_CONNECTED : IDS_DISCONNECTED).c_str());
    InvalidateRect(service_.handle(), nullptr, FALSE);
}

void BasicPage::ToggleService() {
    app_.ToggleService();
    ShowServiceState();
}

void BasicPage::ApplyPasswordMask(bool hidden) {
    HWND edit = Item(IDC_PASSWORD);
    SendMessageW(edit, EM_SETPASSWORDCHAR, hidden ? L'*' : 0, 0);
    InvalidateRect(edit, nullptr, TRUE);
}

void BasicPage::RefreshAddresses() {
    addresses_.clear();
    EnumerateLocalAddresses(&addresses_);
    AddressSummary summary = SummarizeAddresses(addresses_);
    if (addresses_.size() >= 2) {
        SetDlgItemTextW(handle(), IDC_ADDRESS_TEXT, LoadText(IDS_MULTIPLE_ADDRESSES).c_str());
    } else {
        SetDlgItemTextA(handle(), IDC_ADDRESS_TEXT, summary.text.c_str());
    }
    ShowWindow(details_.handle(), summary.detailsVisible ? SW_SHOW : SW_HIDE);
}

void BasicPage::ShowDetails() {
    RefreshAddresses();
    AddWirelessInfo(&addresses_);
    MoreAddressesDialog dialog(addresses_);
    dialog.RunModal(GetAncestor(handle(), GA_ROOT));
}

void BasicPage::OnCommand(int id, int code, HWND) {
    // Enter and Escape (IDOK, IDCANCEL) do nothing: a page never closes itself.
    switch (id) {
        case IDC_SERVICE_BUTTON:
            if (code == BN_CLICKED) ToggleService();
            break;
        case IDC_COMPUTER_NAME:
            if (!filling_ && (code == EN_CHANGE || code == EN_KILLFOCUS)) {
                app_.ChangeComputerName(ItemTextAnsi(handle(), IDC_COMPUTER_NAME));
            }
            break;
        case IDC_PASSWORD:
            if (!filling_ && (code == EN_CHANGE || code == EN_KILLFOCUS)) {
                app_.ChangePassword(ItemTextAnsi(handle(), IDC_PASSWORD));
            }
            break;
        case IDC_HIDE_PASSWORD:
            if (code == BN_CLICKED) {
                const bool hidden = IsDlgButtonChecked(handle(), IDC_HIDE_PASSWORD) == BST_CHECKED;
                ApplyPasswordMask(hidden);
                app_.ChangePasswordHidden(hidden);
            }
            break;
        case IDC_ADDRESS_DETAILS:
            if (code == BN_CLICKED) ShowDetails();
            break;
        default:
            break;
    }
}

bool BasicPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    if (message == WM_TIMER) {
        if (IsWindowVisible(GetAncestor(handle(), GA_ROOT))) RefreshAddresses();
        return false;
    }
    if (message == WM_CTLCOLORDLG || message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        if (message == WM_CTLCOLORSTATIC) {
            SetBkMode(dc, TRANSPARENT);
            if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_FIREWALL_NOTE) {
                SetTextColor(dc, kNoteColor);
            }
        }
        *result = background_.answer();
        return true;
    }
    return false;
}
