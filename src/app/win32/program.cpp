#include "app/win32/program.h"

#include <commctrl.h>
#include <objbase.h>

#include <memory>

#include "app/win32/main_window.h"
#include "app/win32/tray_icon.h"
#include "platform/automation_host.h"
#include "platform/input.h"
#include "platform/socket.h"

namespace {

constexpr LANGID kChinesePrc = 0x0804;
constexpr LANGID kEnglishUs = 0x0409;

// Undoes a pen cursor the presentation worker may have left in place of the arrow.
void ReloadSystemCursors() { SystemParametersInfoA(SPI_SETCURSORS, 0, nullptr, SPIF_SENDCHANGE); }

// Brings a running copy's window forward; a hidden one is shown as a tray double click would.
void WakeRunningCopy(HWND running) {
    if (!IsWindowVisible(running)) {
        PostMessageA(running, kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK);
    }
    SetActiveWindow(running);
    SetForegroundWindow(running);
}

}  // namespace

void ChooseInterfaceLanguage(LANGID userLanguage) {
    if (userLanguage == kChinesePrc) return;
    SetThreadLocale(MAKELCID(kEnglishUs, SORT_DEFAULT));
    SetThreadUILanguage(kEnglishUs);
}

int RunWindowsProgram() {
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    InitCommonControlsEx(&controls);
    // The system restarts the program after an update or a failure (restart only, no recovery).
    RegisterApplicationRestart(nullptr, 0);
    ChooseInterfaceLanguage(LANGIDFROMLCID(GetUserDefaultLCID()));

    if (HWND running = FindWindowA(nullptr, kMainWindowTitle)) {
        // This copy ends without settings, COM or sockets.
        WakeRunningCopy(running);
        ReloadSystemCursors();
        return 0;
    }

    CoInitialize(nullptr);
    SocketLibraryStartup();
    {
        auto window =
            std::make_unique<MainWindow>(CreateSystemInputInjector(), CreateSystemAutomationHost());
        window->RunModal(nullptr);
        if (window->ThreadsLeftBehind()) {
            // A thread stuck in a call (a hung presentation program, a phone's command) still
            // uses the window object and what it owns: leaked on purpose, the process ends
            // without it.
            [[maybe_unused]] static MainWindow* leftBehind = nullptr;
            leftBehind = window.release();
        }
    }
    SocketLibraryCleanup();
    CoUninitialize();
    ReloadSystemCursors();
    return 0;
}
