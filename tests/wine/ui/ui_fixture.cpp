#include "ui_fixture.h"

#include <commctrl.h>
#include <objbase.h>
#include <windows.h>

#include <thread>

#include "app/win32/program.h"
#include "phone_client.h"
#include "platform/automation_host.h"
#include "platform/input.h"
#include "platform/socket.h"
#include "platform/text_conversion.h"
#include "resource.h"
#include "shell/settings_store.h"

std::string MainWindowTest::settingsPath_;
std::string MainWindowTest::openedAddress_;

void RecordOpenedAddress(const char* address) { MainWindowTest::openedAddress_ = address; }

namespace {

void RecordNotice(const char* text) { std::printf("autostart notice: %s\n", text); }

}  // namespace

void MainWindowTest::SetUpTestSuite() {
    CoInitialize(nullptr);
    SocketLibraryStartup();
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    InitCommonControlsEx(&controls);
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    settingsPath_ = std::string(folder) + "corvane_ui_test.ini";
    SetSettingsPathForTesting(settingsPath_);
    SetSettingsNoticeForTesting(RecordNotice);
    SetWebOpenerForTesting(RecordOpenedAddress);
}

void MainWindowTest::TearDownTestSuite() {
    SetSettingsPathForTesting(std::string());
    SetSettingsNoticeForTesting(nullptr);
    SetWebOpenerForTesting(nullptr);
    DeleteFileA(settingsPath_.c_str());
    SocketLibraryCleanup();
    CoUninitialize();
}

void MainWindowTest::SetUp() {
    DeleteFileA(settingsPath_.c_str());
    openedAddress_.clear();
    // No multicast sockets on the machine's real interfaces.
    options_.readAdapters = [](std::vector<AdapterInfo>* adapters) {
        adapters->clear();
        return AdapterTableResult::kOk;
    };
    // Keep the pointer off the windows, where it would light up buttons.
    SetCursorPos(1, 1);
}

void MainWindowTest::TearDown() {
    if (window_ && window_->handle()) ShutDown();
    window_.reset();
    Pump(50);
}

void MainWindowTest::Open(LANGID language, std::unique_ptr<AutomationHost> host) {
    // The program keeps Chinese only for a Chinese (PRC) user locale; the test sets the thread
    // language itself, as such a locale would leave it.
    SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
    SetThreadUILanguage(language);
    ChooseInterfaceLanguage(language);
    if (!host) host = CreateSystemAutomationHost();
    ServiceEndpoints endpoints;
    endpoints.tcpPort = 0;
    endpoints.udpPort = udpPort_;
    endpoints.bindAddress = "127.0.0.1";
    endpoints.options = &options_;
    window_ = std::make_unique<MainWindow>(CreateSystemInputInjector(),
                                           std::move(host), endpoints);
    ASSERT_TRUE(window_->Create(nullptr));
    Pump(100);
}

void MainWindowTest::ShutDown() {
    SendMessageW(Main(), WM_COMMAND, ID_TRAY_SHUTDOWN, 0);
    PumpUntil([&] { return window_->handle() == nullptr; }, 5000);
}

std::string MainWindowTest::Setting(const char* key) const { return ReadSetting(key); }

int FreeUdpPort() {
    SocketHandle s = OpenUdpSocket4();
    BindSocket(s, Loopback(), 0);
    int port = LocalPort(s);
    CloseSocket(s);
    return port;
}

bool InspectModalDialog(int controlId, const std::function<void(HWND)>& inspect,
                        const std::function<void()>& open) {
    struct Search {
        int controlId;
        HWND found;
    };
    const DWORD uiThread = GetCurrentThreadId();
    bool found = false;
    std::thread inspector([&] {
        Search search{controlId, nullptr};
        PumpUntil(
            [&] {
                EnumThreadWindows(
                    uiThread,
                    [](HWND w, LPARAM data) -> BOOL {
                        auto* s = reinterpret_cast<Search*>(data);
                        if (!IsWindowVisible(w) || !GetDlgItem(w, s->controlId)) return TRUE;
                        s->found = w;
                        return FALSE;
                    },
                    reinterpret_cast<LPARAM>(&search));
                return search.found != nullptr;
            },
            5000);
        if (!search.found) return;
        found = true;
        inspect(search.found);
        PostMessageW(search.found, WM_COMMAND, IDCANCEL, 0);
    });
    open();
    inspector.join();
    return found;
}

MenuSeen InspectTrayMenu(HWND owner, const std::string& screenshot) {
    MenuSeen seen;
    std::thread inspector([&] {
        HWND menuWindow = nullptr;
        PumpUntil(
            [&] {
                menuWindow = FindWindowW(L"#32768", nullptr);
                return menuWindow && IsWindowVisible(menuWindow);
            },
            5000);
        if (!menuWindow) return;
        seen.found = true;
        HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
        seen.items = GetMenuItemCount(menu);
        seen.defaultItem = GetMenuDefaultItem(menu, FALSE, 0);
        seen.configChecked = (GetMenuState(menu, ID_TRAY_CONFIG, MF_BYCOMMAND) & MF_CHECKED) != 0;
        for (int i = 0; i < seen.items; ++i) {
            wchar_t text[128] = L"";
            GetMenuStringW(menu, i, text, 128, MF_BYPOSITION);
            std::u16string wide(text, text + wcslen(text));
            seen.texts += "[" + Utf16ToUtf8(wide) + "]";
        }
        if (!screenshot.empty()) Screenshot(menuWindow, screenshot, 8);
        PostMessageW(owner, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    SendMessageW(owner, kTrayCallbackMessage, 0, WM_RBUTTONUP);
    inspector.join();
    return seen;
}
