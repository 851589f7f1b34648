// The program's one top-level window: hidden most of the time, reached through the tray icon,
// with the three settings pages. It is also the application object the service's handlers
// reach as their owner. Every method runs on the user-interface thread unless it says
// otherwise.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "app/win32/connection_popup.h"
#include "app/win32/dialog_window.h"
#include "app/win32/settings_pages.h"
#include "app/win32/tray_icon.h"
#include "app/win32/update_dialog.h"
#include "app/win32/widgets/skin_button.h"
#include "app/win32/window_shape.h"
#include "shell/application.h"

// The main window's title, by which a second copy of the program finds the first.
constexpr char kMainWindowTitle[] = "CorvaneServer";
// Private: a login notice is waiting in the hand-over slot.
constexpr UINT kShowPopupMessage = WM_APP + 1;

class MainWindow : public CorvaneApplication, public DialogWindow {
public:
    enum class Page { kBasic, kAdvanced, kAbout };

    MainWindow(std::unique_ptr<InputInjector> input, std::unique_ptr<AutomationHost> automation,
               ServiceEndpoints endpoints = {});
    ~MainWindow() override;

    // Any thread (connection threads): hands the text to the user-interface thread, which
    // shows the popup; returns at once and never touches a window itself.
    void ShowConnectionPopup(const char* text) override;

    void ShowMainWindow();
    void HideMainWindow();
    void SelectPage(Page page);

    BasicPage& basicPage() { return basic_; }
    AdvancedPage& advancedPage() { return advanced_; }
    AboutPage& aboutPage() { return about_; }
    ConnectionPopup& popup() { return popup_; }

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
    // Delivers what other threads send to this thread's windows, while the shutdown waits for
    // the presentation worker (whose cursor restore broadcasts to them).
    void AnswerSentMessages() override;

private:
    void SkinButtons();
    void CreatePages();
    void OnTrayMessage(LPARAM mouseMessage);
    void OnDestroy();
    void Paint();

    BasicPage basic_;
    AdvancedPage advanced_;
    AboutPage about_;
    ConnectionPopup popup_;
    CUpdateDlg update_;
    TrayIcon tray_;
    SkinButton pageButtons_[3];
    SkinButton minimise_;
    SkinButton close_;
    SkinButton link_;
    HICON icon_ = nullptr;
    SolidBrush background_;
    WindowShape shape_;

    // The window as connection threads see it: set before the service starts, cleared once
    // the service has stopped.
    std::atomic<HWND> postTarget_{nullptr};
    std::mutex popupLock_;
    std::string popupText_;  // the latest login text; guarded by popupLock_
};

// The address behind the link button.
constexpr char kMakerWebAddress[] = "https://example.com/";
