// The login notice: a small borderless topmost window in the bottom-right corner of the work
// area that shows the phone's name for five seconds. User-interface thread only; connection
// threads reach it through the main window's hand-over.
#pragma once

#include <string>

#include "app/win32/dialog_window.h"
#include "app/win32/widgets/skin_button.h"
#include "app/win32/window_shape.h"

class ConnectionPopup : public DialogWindow {
public:
    static constexpr UINT_PTR kHideTimer = 1;
    static constexpr UINT kShowMilliseconds = 5000;

    ConnectionPopup();
    // Creates the window hidden, owned by `owner`.
    bool CreateHidden(HWND owner);
    // Places the popup, sets its text, restarts the five seconds and shows it on top.
    void Show(const std::string& text);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    SkinButton close_;
    // False until the window exists: the template's visible style must not flash it up at
    // creation.
    bool created_ = false;
    SolidBrush background_;
    WindowShape shape_;
};

// Where the popup goes: taken from the work area's size, not its origin.
POINT PopupPosition(const RECT& workArea, int popupWidth, int popupHeight);
