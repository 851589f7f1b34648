#include "desktop.h"

#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/text_conversion.h"
#include "wait_until.h"

#ifndef CORVANE_BINARY_DIR
#error "CORVANE_BINARY_DIR must name the build tree"
#endif

HWND CreateTestWindow(const wchar_t* className, WNDPROC procedure, const wchar_t* title,
                      DWORD style, int x, int y, int width, int height) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc);  // fails harmlessly when an earlier window registered it
    return CreateWindowExW(0, className, title, style, x, y, width, height, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

void Pump(int milliseconds) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount64() < end);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    return WaitUntil(done, std::chrono::milliseconds(timeoutMs), [] { Pump(20); });
}

std::string ScreenshotFolder(const std::string& album) {
    return std::string(CORVANE_BINARY_DIR) + "/screenshots/" + album;
}

std::string WindowsPathFor(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

bool Screenshot(HWND window, const std::string& name, int margin, const std::string& album) {
    // Let the windows finish painting and the X server catch up.
    Pump(400);
    RECT rect{};
    GetWindowRect(window, &rect);
    const int left = rect.left - margin > 0 ? rect.left - margin : 0;
    const int top = rect.top - margin > 0 ? rect.top - margin : 0;
    const int width = rect.right + margin - left;
    const int height = rect.bottom + margin - top;
    const std::string folder = ScreenshotFolder(album);
    const std::string target = folder + "/" + name + ".png";
    const std::string partial = folder + "/." + name + ".partial.png";
    DeleteFileA(WindowsPathFor(target).c_str());
    char command[2048];
    // Wine runs a Unix program when asked to start one; it cannot be waited for, so the
    // finished picture is renamed into place and the test waits for that name.
    std::snprintf(command, sizeof command,
                  "/bin/sh -c \"mkdir -p '%s' && import -window root -crop %dx%d+%d+%d +repage "
                  "'%s' && mv '%s' '%s'\"",
                  folder.c_str(), width, height, left, top, partial.c_str(), partial.c_str(),
                  target.c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::printf("screenshot %s: the capture could not be started (%lu)\n", name.c_str(),
                    GetLastError());
        return false;
    }
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
    const std::string windowsTarget = WindowsPathFor(target);
    bool made = PumpUntil(
        [&] { return GetFileAttributesA(windowsTarget.c_str()) != INVALID_FILE_ATTRIBUTES; },
        20000);
    std::printf("screenshot %s: %s\n", made ? "written" : "MISSING", target.c_str());
    return made;
}

std::string TextOf(HWND window) {
    wchar_t text[4096] = L"";
    // WM_GETTEXT rather than GetWindowText: it also reads controls of other processes.
    SendMessageW(window, WM_GETTEXT, sizeof text / sizeof text[0], reinterpret_cast<LPARAM>(text));
    std::u16string wide(text, text + wcslen(text));
    return Utf16ToUtf8(wide);
}

std::string ItemText(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

void Click(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

void Press(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

std::string RunValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "software\\microsoft\\windows\\currentversion\\Run", 0,
                      KEY_READ, &key) != ERROR_SUCCESS) {
        return "<none>";
    }
    char value[1024] = "";
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    LONG result =
        RegQueryValueExA(key, "VolaServer", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? std::string(value) : "<none>";
}

UnmanagedWindows::UnmanagedWindows(const std::string& exe)
    : key_("Software\\Wine\\AppDefaults\\" + exe + "\\X11 Driver") {
    RegSetKeyValueA(HKEY_CURRENT_USER, key_.c_str(), "Managed", REG_SZ, "N", 2);
}

UnmanagedWindows::~UnmanagedWindows() {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, key_.c_str(), "Managed");
}

TrayIconOfOurOwn::TrayIconOfOurOwn() {
    window_ = CreateWindowExW(0, L"STATIC", L"test tray icon", WS_POPUP, 0, 0, 1, 1, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = window_;
    icon.uID = 1;
    icon.uFlags = NIF_ICON | NIF_TIP;
    icon.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // the application icon
    lstrcpyW(icon.szTip, L"test");
    Shell_NotifyIconW(NIM_ADD, &icon);
    Pump(100);
}

TrayIconOfOurOwn::~TrayIconOfOurOwn() {
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = window_;
    icon.uID = 1;
    Shell_NotifyIconW(NIM_DELETE, &icon);
    DestroyWindow(window_);
}
