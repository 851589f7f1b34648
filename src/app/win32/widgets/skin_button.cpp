#include "app/win32/widgets/skin_button.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

namespace {

constexpr UINT_PTR kSubclassId = 0x5B;
constexpr wchar_t kOwnerProperty[] = L"CorvaneSkinButton";

void ShellOpen(const char* address) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.lpVerb = "open";
    info.lpFile = address;
    info.nShow = SW_SHOWMAXIMIZED;
    ShellExecuteExA(&info);
}

WebOpener g_webOpener = ShellOpen;

HICON LoadProgramIcon(int id) {
    if (id == 0) return nullptr;
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                         IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
}

SIZE IconSize(HICON icon) {
    SIZE size{0, 0};
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return size;
    BITMAP bitmap{};
    if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap)) {
        size = {bitmap.bmWidth, bitmap.bmHeight};
    } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof bitmap, &bitmap)) {
        size = {bitmap.bmWidth, bitmap.bmHeight / 2};  // monochrome: mask over image
    }
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return size;
}

std::wstring WindowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    GetWindowTextW(window, text.data(), length + 1);
    return std::wstring(text.data());
}

bool IsCheckBoxType(LONG_PTR style) {
    switch (style & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            return true;
        default:
            return false;
    }
}

}  // namespace

COLORREF LightenColor(COLORREF color, int amount) {
    auto up = [amount](int c) { return std::min(255, c + amount); };
    return RGB(up(GetRValue(color)), up(GetGValue(color)), up(GetBValue(color)));
}

void OpenWebAddress(const char* address) { g_webOpener(address); }

WebOpener SetWebOpenerForTesting(WebOpener opener) {
    WebOpener previous = g_webOpener;
    g_webOpener = opener ? opener : ShellOpen;
    return previous;
}

SkinButton::~SkinButton() {
    Detach();
    if (activeIcon_ && activeIcon_ != normalIcon_) DestroyIcon(activeIcon_);
    if (normalIcon_) DestroyIcon(normalIcon_);
}

bool SkinButton::Attach(HWND dialog, int controlId) {
    Detach();
    HWND window = GetDlgItem(dialog, controlId);
    if (!window) return false;
    window_ = window;
    normalBack_ = hotBack_ = focusBack_ = GetSysColor(COLOR_BTNFACE);
    text_ = GetSysColor(COLOR_BTNTEXT);
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    checkStyle_ = IsCheckBoxType(style);
    if (checkStyle_) checked_ = SendMessageW(window, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SetWindowLongPtrW(window, GWL_STYLE, (style & ~LONG_PTR(BS_TYPEMASK)) | BS_OWNERDRAW);
    SetPropW(window, kOwnerProperty, this);
    SetWindowSubclass(window, Subclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    Redraw();
    return true;
}

void SkinButton::Detach() {
    if (!window_) return;
    RemoveWindowSubclass(window_, Subclass, kSubclassId);
    RemovePropW(window_, kOwnerProperty);
    window_ = nullptr;
}

SkinButton* SkinButton::FromHandle(HWND window) {
    return window ? static_cast<SkinButton*>(GetPropW(window, kOwnerProperty)) : nullptr;
}

void SkinButton::SetIcons(int activeIcon, int normalIcon) {
    if (activeIcon_ && activeIcon_ != normalIcon_) DestroyIcon(activeIcon_);
    if (normalIcon_) DestroyIcon(normalIcon_);
    normalIcon_ = LoadProgramIcon(normalIcon);
    activeIcon_ = activeIcon == normalIcon ? normalIcon_ : LoadProgramIcon(activeIcon);
    Redraw();
}

void SkinButton::SetFlat(bool flat) {
    flat_ = flat;
    Redraw();
}

void SkinButton::SetTransparent(bool transparent) {
    transparent_ = transparent;
    Redraw();
}

void SkinButton::SetBackgroundColors(COLORREF normal, COLORREF hot, COLORREF focused) {
    normalBack_ = normal;
    hotBack_ = hot;
    focusBack_ = focused;
    Redraw();
}

void SkinButton::SetHotLightening(int amount) {
    hotBack_ = LightenColor(normalBack_, amount);
    Redraw();
}

void SkinButton::SetTextColor(COLORREF color) {
    text_ = color;
    Redraw();
}

void SkinButton::SetCursorResource(int cursor) {
    cursor_ = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(cursor));
}

void SkinButton::SetWebAddress(std::string address) { webAddress_ = std::move(address); }

void SkinButton::SetCheck(bool checked) {
    checked_ = checked;
    Redraw();
}

void SkinButton::OnClicked() {
    if (!webAddress_.empty()) OpenWebAddress(webAddress_.c_str());
}

void SkinButton::Redraw() {
    if (window_) InvalidateRect(window_, nullptr, FALSE);
}

// Lets the parent paint its background into the button's rectangle.
void SkinButton::PaintParentBackground(HDC dc, const RECT& rect) {
    HWND parent = GetParent(window_);
    POINT origin{0, 0};
    MapWindowPoints(window_, parent, &origin, 1);
    int saved = SaveDC(dc);
    IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
    OffsetWindowOrgEx(dc, origin.x, origin.y, nullptr);
    SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    RestoreDC(dc, saved);
}

void SkinButton::Draw(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool focused = (item.itemState & ODS_FOCUS) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;

    if (transparent_) {
        PaintParentBackground(dc, rect);
    } else {
        COLORREF back = hot_ ? hotBack_ : focused ? focusBack_ : normalBack_;
        HBRUSH brush = CreateSolidBrush(back);
        FillRect(dc, &rect, brush);
        DeleteObject(brush);
    }
    if (!flat_) {
        RECT edge = rect;
        DrawEdge(dc, &edge, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    } else if (pressed && !transparent_) {
        RECT edge = rect;
        DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
    }

    const int shift = pressed ? 1 : 0;
    HICON icon = (checked_ || hot_) ? activeIcon_ : normalIcon_;
    const std::wstring text = WindowText(window_);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    int textLeft = rect.left;
    if (icon) {
        SIZE size = IconSize(icon);
        // A picture larger than the button is scaled down to fit, keeping its proportions.
        if (size.cx > width || size.cy > height) {
            double scale = std::min(double(width) / size.cx, double(height) / size.cy);
            size.cx = std::max(1, int(size.cx * scale));
            size.cy = std::max(1, int(size.cy * scale));
        }
        int x = text.empty() ? rect.left + (width - size.cx) / 2 : rect.left + 3;
        int y = rect.top + (height - size.cy) / 2;
        DrawIconEx(dc, x + shift, y + shift, icon, size.cx, size.cy, 0, nullptr, DI_NORMAL);
        textLeft = x + size.cx + 3;
    }
    if (!text.empty()) {
        RECT textRect{textLeft + shift, rect.top + shift, rect.right + shift, rect.bottom + shift};
        UINT format = DT_SINGLELINE | DT_VCENTER | (icon ? DT_LEFT : DT_CENTER);
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0));
        HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
        SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT) : text_);
        DrawTextW(dc, text.c_str(), -1, &textRect, format);
        if (oldFont) SelectObject(dc, oldFont);
    }
}

LRESULT CALLBACK SkinButton::Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR self) {
    auto* button = reinterpret_cast<SkinButton*>(self);
    if (message == WM_NCDESTROY) {
        button->Detach();
        return DefSubclassProc(window, message, wParam, lParam);
    }
    return button->OnMessage(message, wParam, lParam);
}

LRESULT SkinButton::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_;
    switch (message) {
        case BM_GETCHECK:
            return checked_ ? BST_CHECKED : BST_UNCHECKED;
        case BM_SETCHECK:
            SetCheck(wParam != BST_UNCHECKED);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the whole button is painted when drawn
        case WM_LBUTTONDBLCLK:
            // A quick second click is a click, not a double click.
            return DefSubclassProc(window, WM_LBUTTONDOWN, wParam, lParam);
        case WM_MOUSEMOVE:
            if (!tracking_) {
                TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, 0};
                tracking_ = TrackMouseEvent(&track) != FALSE;
            }
            if (!hot_) {
                hot_ = true;
                Redraw();
            }
            break;
        case WM_MOUSELEAVE:
            tracking_ = false;
            if (hot_) {
                hot_ = false;
                Redraw();
            }
            break;
        case WM_SETCURSOR:
            if (cursor_) {
                ::SetCursor(cursor_);
                return TRUE;
            }
            break;
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
