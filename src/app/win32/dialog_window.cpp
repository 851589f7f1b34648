#include "app/win32/dialog_window.h"

#include <vector>

#include "app/win32/widgets/skin_button.h"

namespace {

// A top-level dialog that its initialisation left hidden and in place, and that has no owner
// or a disabled one (a modal dialog's), opens centred: over its owner when that is visible,
// otherwise in the work area.
void CenterNewDialog(HWND window, const RECT& before) {
    if (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) return;
    if (IsWindowVisible(window)) return;
    RECT rect{};
    GetWindowRect(window, &rect);
    if (rect.left != before.left || rect.top != before.top) return;
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner && IsWindowEnabled(owner)) return;
    RECT area{};
    if (owner && IsWindowVisible(owner)) {
        GetWindowRect(owner, &area);
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int x = area.left + (area.right - area.left - width) / 2;
    const int y = area.top + (area.bottom - area.top - height) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

DialogWindow::~DialogWindow() {
    if (!window_) return;
    // The derived object is gone: the window's last messages must not reach it.
    SetWindowLongPtrW(window_, DWLP_USER, 0);
    if (!modal_) DestroyWindow(window_);
}

INT_PTR DialogWindow::RunModal(HWND owner) {
    modal_ = true;
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner,
                           Procedure, reinterpret_cast<LPARAM>(this));
}

bool DialogWindow::Create(HWND parent) {
    modal_ = false;
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent,
                              Procedure, reinterpret_cast<LPARAM>(this)) != nullptr;
}

void DialogWindow::End(INT_PTR result) {
    if (!window_) return;
    if (modal_) {
        EndDialog(window_, result);
    } else {
        DestroyWindow(window_);
    }
}

INT_PTR CALLBACK DialogWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogWindow* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<DialogWindow*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window_ = window;
        RECT before{};
        GetWindowRect(window, &before);
        const bool focusSet = self->OnInitDialog();
        CenterNewDialog(window, before);
        return focusSet ? TRUE : FALSE;
    }
    self = reinterpret_cast<DialogWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!self) return FALSE;
    INT_PTR result = self->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) self->window_ = nullptr;
    return result;
}

INT_PTR DialogWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    // Skinned buttons draw and handle their own clicks, as if the control got these itself.
    if (message == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (SkinButton* button = SkinButton::FromHandle(item->hwndItem)) {
            button->Draw(*item);
            return TRUE;
        }
    }
    if (message == WM_COMMAND) {
        HWND control = reinterpret_cast<HWND>(lParam);
        if (control && HIWORD(wParam) == BN_CLICKED) {
            if (SkinButton* button = SkinButton::FromHandle(control)) button->OnClicked();
        }
        OnCommand(LOWORD(wParam), HIWORD(wParam), control);
        return TRUE;
    }
    INT_PTR result = FALSE;
    if (OnMessage(message, wParam, lParam, &result)) return result;
    return FALSE;
}

std::wstring LoadText(int id) {
    const wchar_t* text = nullptr;
    // With a zero length the system hands out the resource itself (not terminated).
    int length = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(id),
                             reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return std::wstring();
    return std::wstring(text, static_cast<size_t>(length));
}

std::string ItemTextAnsi(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    int length = GetWindowTextLengthA(item);
    std::vector<char> text(static_cast<size_t>(length) + 1);
    GetWindowTextA(item, text.data(), length + 1);
    return std::string(text.data());
}
