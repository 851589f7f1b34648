// The three pages of the main window: connection (service, name, password, address), settings
// (pointer sensitivity, autostart) and about. Modeless child dialogs; every method runs on the
// user-interface thread.
#pragma once

#include "app/win32/dialog_window.h"
#include "app/win32/widgets/skin_button.h"
#include "netinfo/local_addresses.h"
#include "shell/application.h"
#include "shell/sensitivity_controls.h"

class BasicPage : public DialogWindow {
public:
    static constexpr UINT_PTR kAddressTimer = 1;
    static constexpr UINT kAddressMilliseconds = 5000;

    explicit BasicPage(CorvaneApplication& app);
    ~BasicPage() override;

    // Rebuilds the address list and shows one address, "Multiple IP Address" or "No Local IP";
    // the details button is hidden when there is none.
    void RefreshAddresses();
    const LocalAddressList& addresses() const { return addresses_; }

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    void ShowServiceState();
    void ToggleService();
    void ApplyPasswordMask(bool hidden);
    void ShowDetails();

    CorvaneApplication& app_;
    LocalAddressList addresses_;
    SkinButton service_;
    SkinButton details_;
    SolidBrush background_;
    HFONT noteFont_ = nullptr;
    // Set while the page fills its own fields, whose change notices are then not edits.
    bool filling_ = false;
};

class AdvancedPage : public DialogWindow {
public:
    explicit AdvancedPage(CorvaneApplication& app);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    // Sliders and number labels from the sensitivity controls.
    void ShowSensitivity();
    void SliderReleased(int slider);
    void LockClicked();
    void AutoStartClicked();

    CorvaneApplication& app_;
    SensitivityControls sensitivity_;
    SolidBrush background_;
};

class AboutPage : public DialogWindow {
public:
    AboutPage();

protected:
    bool OnInitDialog() override;
};
