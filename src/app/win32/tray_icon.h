// The program's icon in the notification area and its menu. User-interface thread.
#pragma once

#include <windows.h>

// The icon's callback message; a second copy of the program sends it too.
constexpr UINT kTrayCallbackMessage = WM_USER + 100;  // 0x464

class TrayIcon {
public:
    // Adds the icon (tip "VolaServer") for `owner`, which receives kTrayCallbackMessage with
    // the plain mouse message as its second parameter.
    void Add(HWND owner);
    void Remove();
    // After the taskbar was re-created: the icon is removed and added again.
    void Restore();
    // The tray menu at the cursor; its command arrives at `owner` as WM_COMMAND. Returns when
    // the menu closes.
    static void ShowMenu(HWND owner);

    // The message the shell broadcasts when the taskbar is (re)created.
    static UINT TaskbarCreatedMessage();

private:
    HWND owner_ = nullptr;
};
