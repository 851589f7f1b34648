// Skinned push buttons: an existing button control of a dialog taken over and drawn by the
// program (icons per state, colours, transparency over the parent, hand cursor, web link).
// Every method runs on the thread that owns the button's window.
#pragma once

#include <windows.h>

#include <string>

class SkinButton {
public:
    SkinButton() = default;
    ~SkinButton();
    SkinButton(const SkinButton&) = delete;
    SkinButton& operator=(const SkinButton&) = delete;

    // Takes over the dialog's control: it becomes owner-drawn, and a control made as a check
    // box (of any kind) becomes check-style, its check state kept here. False when missing.
    bool Attach(HWND dialog, int controlId);
    HWND handle() const { return window_; }

    // The picture shown while checked or under the mouse, and the one shown otherwise
    // (icon resources of the program; 0 for none).
    void SetIcons(int activeIcon, int normalIcon);
    void SetIcon(int icon) { SetIcons(icon, icon); }
    // Flat buttons (the default) have no raised edge.
    void SetFlat(bool flat);
    // Drawn over whatever the parent paints behind the button, instead of a background colour.
    void SetTransparent(bool transparent);
    // Background colours while normal, under the mouse, and focused.
    void SetBackgroundColors(COLORREF normal, COLORREF hot, COLORREF focused);
    // Under the mouse the normal colour is lightened by adding `amount` to each component
    // (each one stops at 255).
    void SetHotLightening(int amount);
    void SetTextColor(COLORREF color);
    // The mouse cursor over the button: a cursor resource of the program.
    void SetCursorResource(int cursor);
    // A click opens this web address through the shell.
    void SetWebAddress(std::string address);

    void SetCheck(bool checked);
    bool Checked() const { return checked_; }
    bool CheckStyle() const { return checkStyle_; }
    bool Hot() const { return hot_; }

    // The owner dialog hands these over (the button notifies its parent, not itself).
    void Draw(const DRAWITEMSTRUCT& item);
    void OnClicked();

    // The skinned button behind a control window, or null.
    static SkinButton* FromHandle(HWND window);

private:
    static LRESULT CALLBACK Subclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();
    void PaintParentBackground(HDC dc, const RECT& rect);
    void Redraw();

    HWND window_ = nullptr;
    HICON activeIcon_ = nullptr;
    HICON normalIcon_ = nullptr;
    HCURSOR cursor_ = nullptr;
    bool flat_ = true;
    bool transparent_ = false;
    bool checkStyle_ = false;
    bool checked_ = false;
    bool hot_ = false;
    bool tracking_ = false;
    COLORREF normalBack_;
    COLORREF hotBack_;
    COLORREF focusBack_;
    COLORREF text_;
    std::string webAddress_;
};

// Lightens a colour by adding `amount` to red, green and blue, each stopping at 255.
COLORREF LightenColor(COLORREF color, int amount);

// Opens a web address with the shell's "open" verb, maximised. Tests replace the opener so
// that no browser starts.
using WebOpener = void (*)(const char* address);
void OpenWebAddress(const char* address);
WebOpener SetWebOpenerForTesting(WebOpener opener);
