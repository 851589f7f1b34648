#include "app/win32/tray_icon.h"

#include <shellapi.h>

#include <cstring>

#include "resource.h"

namespace {

constexpr UINT kIconId = 1;

NOTIFYICONDATAA IconRecord(HWND owner) {
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = kIconId;
    return data;
}

}  // namespace

UINT TrayIcon::TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

void TrayIcon::Add(HWND owner) {
    owner_ = owner;
    NOTIFYICONDATAA data = IconRecord(owner);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayCallbackMessage;
    data.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TRAY));
    std::strcpy(data.szTip, "VolaServer");
    Shell_NotifyIconA(NIM_ADD, &data);
    // Version 3: the callback's second parameter is the plain mouse message.
    data.uVersion = NOTIFYICON_VERSION;
    Shell_NotifyIconA(NIM_SETVERSION, &data);
}

void TrayIcon::Remove() {
    if (!owner_) return;
    NOTIFYICONDATAA data = IconRecord(owner_);
    Shell_NotifyIconA(NIM_DELETE, &data);
}

void TrayIcon::Restore() {
    if (!owner_) return;
    Remove();
    Add(owner_);
}

void TrayIcon::ShowMenu(HWND owner) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAY_MENU));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    SetMenuDefaultItem(popup, ID_TRAY_CONFIG, FALSE);
    CheckMenuItem(popup, ID_TRAY_CONFIG,
                  MF_BYCOMMAND | (IsWindowVisible(owner) ? MF_CHECKED : MF_UNCHECKED));
    POINT at{};
    GetCursorPos(&at);
    SetActiveWindow(owner);
    SetForegroundWindow(owner);
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
    // Lets the menu close properly when the user clicks elsewhere.
    PostMessageW(owner, WM_NULL, 0, 0);
    DestroyMenu(menu);
}
