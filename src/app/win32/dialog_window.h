// A dialog made from a template of the program's resources and served by a C++ object: the
// small framework under the main window, its pages, the popup and the address dialog.
// Every method runs on the thread that created the dialog (the user-interface thread).
#pragma once

#include <windows.h>

#include <string>

class DialogWindow {
public:
    explicit DialogWindow(int templateId) : templateId_(templateId) {}
    virtual ~DialogWindow();
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // Runs the dialog modally and returns the result given to End.
    INT_PTR RunModal(HWND owner);
    // Creates the dialog modeless (a child when the template says so); false on failure.
    bool Create(HWND parent);
    // Ends a modal dialog with `result`; destroys a modeless one.
    void End(INT_PTR result);

    HWND handle() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    bool Modal() const { return modal_; }

protected:
    // WM_INITDIALOG; true lets the system set the default focus.
    virtual bool OnInitDialog() { return true; }
    // WM_COMMAND from a control, a menu or an accelerator.
    virtual void OnCommand(int id, int code, HWND control) { (void)id, (void)code, (void)control; }
    // Any other message. Return true when handled; `*result` is then the procedure's answer
    // (for the messages whose answer goes through DWLP_MSGRESULT, use SetResult as well).
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
        (void)message, (void)wParam, (void)lParam, (void)result;
        return false;
    }
    void SetResult(LRESULT value) { SetWindowLongPtrW(window_, DWLP_MSGRESULT, value); }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
    HWND window_ = nullptr;
    bool modal_ = false;
};

// A solid brush owned by a dialog, for its control colour answers.
class SolidBrush {
public:
    explicit SolidBrush(COLORREF color) : brush_(CreateSolidBrush(color)) {}
    ~SolidBrush() { DeleteObject(brush_); }
    SolidBrush(const SolidBrush&) = delete;
    SolidBrush& operator=(const SolidBrush&) = delete;
    HBRUSH get() const { return brush_; }
    INT_PTR answer() const { return reinterpret_cast<INT_PTR>(brush_); }

private:
    HBRUSH brush_;
};

inline bool IsControlColorMessage(UINT message) {
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

// A string of the program's string table in the interface language ("" when missing).
std::wstring LoadText(int id);
// The window text of a control as narrow program text.
std::string ItemTextAnsi(HWND dialog, int id);
