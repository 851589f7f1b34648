// Shows the program's dialogs one after another, in each of their languages, filled with sample
// values and with the skin colours and icons drawn roughly as the program draws them, so that
// a screenshot can be taken of each.
//
//     resource_preview.exe DIR
//
// For each view it writes DIR\ready holding "NAME X Y WIDTH HEIGHT" (the screen rectangle to
// capture), then waits until DIR\done appears, deletes it and goes on. Exit code 0 when every
// view was shown and acknowledged. resource_screenshots.sh is the other side.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "../../../resources/resource.h"
#include "../resource_lookup.h"

namespace {

using namespace resource_lookup;

const COLORREF kSkin = RGB(103, 129, 160);
const COLORREF kBasicPage = RGB(200, 210, 230);
const COLORREF kAdvancedPage = RGB(150, 180, 210);
const COLORREF kSnow = RGB(255, 250, 250);
const COLORREF kPopupText = RGB(250, 255, 245);

LANGID g_language = kEnglish;
std::string g_dir;

HBRUSH Brush(COLORREF color) {
    static std::vector<std::pair<COLORREF, HBRUSH>> brushes;
    for (auto& [c, b] : brushes) {
        if (c == color) return b;
    }
    brushes.push_back({color, CreateSolidBrush(color)});
    return brushes.back().second;
}

std::wstring Text(int id) {
    std::wstring text;
    LoadText(id, g_language, &text);
    return text;
}

// Page pictures exist per language; the others are neutral.
HICON Icon(int id, int cx, int cy) {
    HICON icon = LoadIconIn(id, g_language, cx, cy);
    return icon ? icon : LoadIconIn(id, kNeutral, cx, cy);
}

struct IconSize {
    int id, cx, cy;
};
IconSize IconFor(int control, bool checked) {
    switch (control) {
        case IDC_PAGE_BASIC:
            return {checked ? IDI_PAGE_BASIC_CHECKED : IDI_PAGE_BASIC, 162, 63};
        case IDC_PAGE_ADVANCED:
            return {checked ? IDI_PAGE_ADVANCED_CHECKED : IDI_PAGE_ADVANCED, 162, 63};
        case IDC_PAGE_ABOUT:
            return {checked ? IDI_PAGE_ABOUT_CHECKED : IDI_PAGE_ABOUT, 162, 63};
        case IDOK:
            return {IDI_MINIMISE, 16, 16};
        case IDCANCEL:
            return {IDI_CLOSE, 16, 16};
        case IDC_POPUP_CLOSE:
            return {IDI_POPUP_CLOSE, 12, 12};
        case IDC_SERVICE_BUTTON:
            return {IDI_SERVICE_ON, 16, 16};
        default:
            return {0, 0, 0};
    }
}

// A skinned button: background, then the icon centred, or the text.
void DrawButton(const DRAWITEMSTRUCT* item, COLORREF background, COLORREF textColor, int checked) {
    FillRect(item->hDC, &item->rcItem, Brush(background));
    IconSize icon = IconFor(item->CtlID, item->CtlID == static_cast<UINT>(checked));
    RECT r = item->rcItem;
    wchar_t text[128] = {};
    GetWindowTextW(item->hwndItem, text, 128);
    if (icon.id) {
        HICON h = Icon(icon.id, icon.cx, icon.cy);
        int x = text[0] ? r.left + 2 : (r.left + r.right - icon.cx) / 2;
        DrawIconEx(item->hDC, x, (r.top + r.bottom - icon.cy) / 2, h, icon.cx, icon.cy, 0, nullptr,
                   DI_NORMAL);
        DestroyIcon(h);
        r.left = x + icon.cx + 2;
    }
    if (text[0]) {
        SetBkMode(item->hDC, TRANSPARENT);
        SetTextColor(item->hDC, textColor);
        UINT format = DT_SINGLELINE | DT_VCENTER | (icon.id ? DT_LEFT : DT_CENTER);
        DrawTextW(item->hDC, text, -1, &r, format);
    }
}

int g_checkedPage = IDC_PAGE_BASIC;

INT_PTR CALLBACK MainProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            return reinterpret_cast<INT_PTR>(Brush(kSkin));
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            DrawButton(item, kSkin, kSnow, g_checkedPage);
            return TRUE;
        }
    }
    return FALSE;
}

INT_PTR CALLBACK PageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    COLORREF background = static_cast<COLORREF>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            return TRUE;
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            if (background == CLR_INVALID) return FALSE;  // the about page keeps the system's
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkMode(dc, TRANSPARENT);
            if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_FIREWALL_NOTE) {
                SetTextColor(dc, RGB(255, 0, 0));
            }
            return reinterpret_cast<INT_PTR>(Brush(background));
        }
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            bool details = item->CtlID == IDC_ADDRESS_DETAILS;
            DrawButton(item, details ? kSkin : background, details ? kSnow : RGB(0, 0, 0), -1);
            return TRUE;
        }
    }
    return FALSE;
}

INT_PTR CALLBACK PopupProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            SetTextColor(reinterpret_cast<HDC>(wParam), kPopupText);
            return reinterpret_cast<INT_PTR>(Brush(kSkin));
        case WM_DRAWITEM:
            DrawButton(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), kSkin, kSnow, -1);
            return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK PlainProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

void Pump(int milliseconds) {
    DWORD end = GetTickCount() + milliseconds;
    while (static_cast<int>(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Announces the view and waits for the other side to take its picture.
bool Capture(const char* name, HWND window) {
    if (!window) {
        std::printf("%s: not created\n", name);
        return false;
    }
    Pump(700);
    RECT r;
    GetWindowRect(window, &r);
    // Nothing around the window: the root window keeps what earlier views left there.
    const int margin = 0;
    std::string tmp = g_dir + "\\ready.tmp", ready = g_dir + "\\ready", done = g_dir + "\\done";
    FILE* f = std::fopen(tmp.c_str(), "w");
    if (!f) return false;
    std::fprintf(f, "%s %ld %ld %ld %ld\n", name, r.left - margin, r.top - margin,
                 r.right - r.left + 2 * margin, r.bottom - r.top + 2 * margin);
    std::fclose(f);
    MoveFileA(tmp.c_str(), ready.c_str());
    for (int i = 0; i < 3000 && !Exists(done); ++i) Pump(10);
    bool taken = Exists(done);
    DeleteFileA(done.c_str());
    std::printf("%s: %s\n", name, taken ? "captured" : "no answer");
    return taken;
}

void Show(HWND window) {
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
}

HWND MainWindow(int page, HWND* pageWindow) {
    g_checkedPage = page;
    HWND main = CreateDialogIn(IDD_MAIN, kChinese, nullptr, MainProc);
    SetWindowPos(main, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    int id = page == IDC_PAGE_BASIC      ? IDD_BASIC_PAGE
             : page == IDC_PAGE_ADVANCED ? IDD_ADVANCED_PAGE
                                         : IDD_ABOUT_PAGE;
    COLORREF background = page == IDC_PAGE_BASIC      ? kBasicPage
                          : page == IDC_PAGE_ADVANCED ? kAdvancedPage
                                                      : CLR_INVALID;
    LANGID language = id == IDD_ABOUT_PAGE ? kChinese : g_language;
    HWND p = CreateDialogIn(id, language, main, PageProc, static_cast<LPARAM>(background));
    SetWindowPos(p, nullptr, 165, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (id == IDD_BASIC_PAGE) {
        SetDlgItemTextW(p, IDC_SERVICE_BUTTON, Text(IDS_CONNECTED).c_str());
        SetDlgItemTextW(p, IDC_COMPUTER_NAME, L"OFFICE-PC");
        SetDlgItemTextW(p, IDC_PASSWORD, L"735");
        SendDlgItemMessageW(p, IDC_PASSWORD, EM_SETPASSWORDCHAR, 0, 0);
        SetDlgItemTextW(p, IDC_ADDRESS_TEXT, L"192.168.1.20");
    } else if (id == IDD_ADVANCED_PAGE) {
        for (int slider : {IDC_HORIZONTAL_SLIDER, IDC_VERTICAL_SLIDER}) {
            SendDlgItemMessageW(p, slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, 100));
            SendDlgItemMessageW(p, slider, TBM_SETPOS, TRUE,
                                slider == IDC_VERTICAL_SLIDER ? 65 : 50);
        }
        SetDlgItemTextW(p, IDC_HORIZONTAL_VALUE, L"50");
        SetDlgItemTextW(p, IDC_VERTICAL_VALUE, L"65");
        CheckDlgButton(p, IDC_AUTOSTART, BST_CHECKED);
    } else {
        SetDlgItemTextW(p, IDC_ABOUT_TEXT, Text(IDS_ABOUT_TEXT).c_str());
        SetDlgItemTextW(p, IDC_VERSION_LINE, (Text(IDS_VERSION) + L":  1.52").c_str());
    }
    Show(p);
    Show(main);
    *pageWindow = p;
    return main;
}

bool ShowAll() {
    bool ok = true;
    const char* suffix = g_language == kEnglish ? "en" : "zh";
    std::string name;
    for (int page : {IDC_PAGE_BASIC, IDC_PAGE_ADVANCED, IDC_PAGE_ABOUT}) {
        HWND p;
        HWND main = MainWindow(page, &p);
        const char* what = page == IDC_PAGE_BASIC      ? "main_basic"
                           : page == IDC_PAGE_ADVANCED ? "main_advanced"
                                                       : "main_about";
        name = std::string(what) + "_" + suffix;
        ok &= Capture(name.c_str(), main);
        DestroyWindow(main);
    }

    // The popup has no English template: one picture serves both languages.
    if (g_language == kChinese) {
        HWND popup = CreateDialogIn(IDD_CONNECTION_POPUP, kChinese, nullptr, PopupProc);
        SetWindowPos(popup, HWND_TOPMOST, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        SetDlgItemTextW(popup, IDC_POPUP_TEXT, L"Anna's phone");
        Show(popup);
        ok &= Capture("popup", popup);
        DestroyWindow(popup);
    }

    HWND update = CreateDialogIn(IDD_UPDATE, g_language, nullptr, PlainProc);
    SetWindowPos(update, HWND_TOPMOST, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowTextW(update, L"CorvaneRemote Update");
    SendDlgItemMessageW(update, IDC_UPDATE_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendDlgItemMessageW(update, IDC_UPDATE_PROGRESS, PBM_SETPOS, 42, 0);
    SetDlgItemTextW(update, IDC_UPDATE_TEXT,
                    L"Downloading\xFF0C"
                    L"Complete 42%");
    Show(update);
    name = std::string("update_") + suffix;
    ok &= Capture(name.c_str(), update);
    DestroyWindow(update);

    HWND more = CreateDialogIn(IDD_MORE_ADDRESSES, g_language, nullptr, PopupProc);
    SetWindowPos(more, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    HWND list = GetDlgItem(more, IDC_ADDRESS_LIST);
    ListView_SetExtendedListViewStyle(list, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    std::wstring headings[] = {L"IP", Text(IDS_WIRELESS_NETWORK), Text(IDS_NETCARD_NAME)};
    int widths[] = {140, 140, 240};
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = headings[i].data();
        column.cx = widths[i];
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    const wchar_t* rows[][3] = {{L"192.168.1.20", L"Office-WiFi", L"Intel(R) Wi-Fi 6 AX201 160MHz"},
                                {L"10.0.2.15", L"", L"Realtek PCIe GbE Family Controller"},
                                {L"0.0.0.0", L"", L"Microsoft Wi-Fi Direct Virtual Adapter"}};
    for (auto& row : rows) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.pszText = const_cast<wchar_t*>(row[0]);
        // Each row goes in at the top, as the program does it.
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        for (int column = 1; column < 3; ++column) {
            LVITEMW cell{};
            cell.iSubItem = column;
            cell.pszText = const_cast<wchar_t*>(row[column]);
            SendMessageW(list, LVM_SETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&cell));
        }
    }
    Show(more);
    name = std::string("more_addresses_") + suffix;
    ok &= Capture(name.c_str(), more);
    DestroyWindow(more);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: resource_preview DIR\n");
        return 2;
    }
    g_dir = argv[1];
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                              ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    bool ok = true;
    for (LANGID language : {kEnglish, kChinese}) {
        g_language = language;
        SetThreadUILanguage(language);
        ok &= ShowAll();
    }
    return ok ? 0 : 1;
}
