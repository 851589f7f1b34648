// The presentation program's object model, as far as the program relies on it. Backends wrap
// the real program (COM automation on Windows); tests use a scripted fake.
//
// Every member throws AutomationError on failure. A member that yields an interface returns an
// owned reference, which may be empty (the program returned none); dropping it releases it.
// All objects are used on the presentation worker thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// A window of the desktop, as the system identifies it (0: none).
using WindowHandle = std::uintptr_t;

struct AutomationError {
    std::int32_t hr = 0;
    // Rich error information, present only when the failing object offers it.
    bool hasInfo = false;
    std::string description;  // program text (ANSI code page on Windows)
    std::string source;

    // hr - 0x80040200 for the program's own error range 0x80040200..0x8004FFFF, else 0 (which
    // means the connection to the program itself failed).
    std::uint16_t AppErrorCode() const;
};

// Failure codes the program relies on.
constexpr std::int32_t kEPointer = static_cast<std::int32_t>(0x80004003);
constexpr std::int32_t kEFail = static_cast<std::int32_t>(0x80004005);
constexpr std::int32_t kClassStringError = static_cast<std::int32_t>(0x800401F3);

// Published constants of the object model.
constexpr std::int32_t kMsoTrue = -1;
constexpr std::int32_t kPointerArrow = 1;
constexpr std::int32_t kPointerPen = 2;
constexpr std::int32_t kPointerAlwaysHidden = 3;
constexpr std::int32_t kShowBlackScreen = 3;
constexpr std::int32_t kShowWhiteScreen = 4;

class ColorFormat {
public:
    virtual ~ColorFormat() = default;
    virtual void put_RGB(std::uint32_t bgr) = 0;
};

class SlideRange {
public:
    virtual ~SlideRange() = default;
    virtual std::int32_t get_SlideIndex() = 0;
};

class Selection {
public:
    virtual ~Selection() = default;
    virtual std::shared_ptr<SlideRange> get_SlideRange() = 0;
};

class DocumentWindow {
public:
    virtual ~DocumentWindow() = default;
    virtual std::shared_ptr<Selection> get_Selection() = 0;
};

class SlideShowView {
public:
    virtual ~SlideShowView() = default;
    // 1-based slide; slide count + 1 on the end screen.
    virtual std::int32_t get_CurrentShowPosition() = 0;
    virtual void Next() = 0;
    virtual void Previous() = 0;
    virtual void Exit() = 0;
    virtual void GotoSlide(std::int32_t index, std::int32_t resetSlide) = 0;
    virtual std::int32_t get_State() = 0;
    virtual void put_State(std::int32_t state) = 0;
    virtual void put_PointerType(std::int32_t type) = 0;
    virtual std::shared_ptr<ColorFormat> get_PointerColor() = 0;
};

class SlideShowWindow {
public:
    virtual ~SlideShowWindow() = default;
    virtual std::shared_ptr<SlideShowView> get_View() = 0;
    virtual WindowHandle get_HWND() = 0;
};

class SlideShowSettings {
public:
    virtual ~SlideShowSettings() = default;
    virtual std::shared_ptr<SlideShowWindow> Run() = 0;
};

class Slides {
public:
    virtual ~Slides() = default;
    virtual std::int32_t get_Count() = 0;
};

class _Presentation {
public:
    virtual ~_Presentation() = default;
    virtual std::shared_ptr<Slides> get_Slides() = 0;
    virtual std::shared_ptr<SlideShowSettings> get_SlideShowSettings() = 0;
    virtual std::shared_ptr<SlideShowWindow> get_SlideShowWindow() = 0;
};

class _Application {
public:
    virtual ~_Application() = default;
    virtual std::shared_ptr<_Presentation> get_ActivePresentation() = 0;
    virtual std::shared_ptr<DocumentWindow> get_ActiveWindow() = 0;
    virtual void put_Visible(std::int32_t visible) = 0;
};

// Throws AutomationError{E_POINTER} when a reference the next step needs is empty.
template <typename T>
T& Required(const std::shared_ptr<T>& reference) {
    if (!reference) throw AutomationError{kEPointer, false, {}, {}};
    return *reference;
}
