// The program's main window created inside the test program: the real window, pages, popup and
// service, with a settings file of the test's own and the service on 127.0.0.1 with ports of
// the system's choosing.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "app/win32/main_window.h"
#include "desktop.h"
#include "platform/automation_host.h"
#include "service/control_server.h"

constexpr LANGID kEnglish = 0x0409;
constexpr LANGID kChinese = 0x0804;

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // Creates the main window (hidden, as at start-up) with its resources in `language`, and
    // the system's automation host unless one is given.
    void Open(LANGID language = kEnglish, std::unique_ptr<AutomationHost> host = nullptr);
    // The tray menu's "Shutdown"; pumps until the window is gone.
    void ShutDown();

    HWND Main() const { return window_->handle(); }
    HWND Basic() const { return window_->basicPage().handle(); }
    HWND Advanced() const { return window_->advancedPage().handle(); }
    HWND About() const { return window_->aboutPage().handle(); }
    HWND Popup() const { return window_->popup().handle(); }
    std::uint16_t Port() const { return static_cast<std::uint16_t>(window_->tcpPort.load()); }
    std::string Setting(const char* key) const;

    std::unique_ptr<MainWindow> window_;
    ServerOptions options_;
    int udpPort_ = 0;

public:
    static std::string settingsPath_;
    static std::string openedAddress_;
};

// The web address the link button asked the shell to open (recorded instead of opening it).
void RecordOpenedAddress(const char* address);

// A UDP port that was free a moment ago.
int FreeUdpPort();

// Calls `open`, which runs a modal dialog on this thread, while a helper thread waits for a
// visible window of this thread that has the control `controlId`, hands it to `inspect` and
// then closes it with IDCANCEL. False when no such window came.
bool InspectModalDialog(int controlId, const std::function<void(HWND)>& inspect,
                        const std::function<void()>& open);

// What the tray menu showed.
struct MenuSeen {
    bool found = false;
    int items = 0;
    UINT defaultItem = 0;
    bool configChecked = false;
    std::string texts;  // "[Config][About][][Shutdown]"
};

// Right-clicks the tray icon of `owner` and, on a helper thread while the menu is open, reads
// the menu, photographs it as `screenshot` (none when empty) and closes it with Escape.
MenuSeen InspectTrayMenu(HWND owner, const std::string& screenshot);
