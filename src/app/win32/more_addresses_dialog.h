// Every local address with its wireless network and adapter, in a modal dialog opened from the
// basic page. User-interface thread.
#pragma once

#include "app/win32/dialog_window.h"
#include "app/win32/widgets/skin_button.h"
#include "app/win32/window_shape.h"
#include "netinfo/local_addresses.h"

class MoreAddressesDialog : public DialogWindow {
public:
    // Only reads `addresses`, which must outlive the dialog.
    explicit MoreAddressesDialog(const LocalAddressList& addresses);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    const LocalAddressList& addresses_;
    SkinButton close_;
    SolidBrush background_;
    WindowShape shape_;
};
