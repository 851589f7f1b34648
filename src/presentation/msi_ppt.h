// The presentation object: the one way into the presentation program, and what the rest of the
// program knows about the running slideshow.
//
// The operations run on the presentation worker thread only. The worker writes the slideshow
// facts; the command handler reads them and writes the pen fields, each a single atomic value.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/automation.h"

class AutomationHost;
struct WindowRect;
class InputInjector;

// Where failed starts of the presentation program are counted (the program keeps the count in
// its settings for the update check). Worker thread.
class StartFailureCounter {
public:
    virtual ~StartFailureCounter() = default;
    virtual void Count(std::int32_t hr) = 0;
};

enum SlideshowMode : std::int32_t {
    MODE_ARROW = 1,
    MODE_PRE_DRAW = 2,
    MODE_PEN = 3,
    MODE_BLACK = 4,
};

enum class NavigateDirection { kNext, kPrevious };

// The class name the presentation program is registered under.
constexpr const char* kPresentationClass = "Powerpoint.Application";

class msi_ppt {
public:
    // Without a host nothing can be automated; without an injector no pointer moves; without a
    // counter failed starts are only logged. The objects must outlive this one.
    explicit msi_ppt(AutomationHost* host = nullptr, InputInjector* input = nullptr,
                     StartFailureCounter* startFailures = nullptr);

    // Worker thread only.
    std::shared_ptr<_Application> app;
    std::atomic<WindowHandle> showWindow{0};
    // Read by every thread.
    std::atomic<std::int32_t> mode{MODE_ARROW};
    std::atomic<std::int32_t> attached{0};
    std::atomic<std::int32_t> curPos{-1};
    std::atomic<std::int32_t> slideCount{-1};
    std::atomic<std::int32_t> penWidth{2};
    std::atomic<std::uint32_t> penColor{0xFF0C00};  // 0x00BBGGRR
    std::atomic<std::int32_t> viewWidth{0};
    std::atomic<std::int32_t> viewHeight{0};

    AutomationHost* const host;
    InputInjector* const input;
    StartFailureCounter* const startFailures;
    // Pauses the worker (the black-screen click holds the button for 500 ms); tests replace it.
    std::function<void(int milliseconds)> sleep;

    // Creates or connects to the application; 1 when `app` is usable. Failures are logged and
    // counted.
    int InitApplication();
    // Copies the running slideshow's facts; 1 when a slideshow runs.
    int RefreshShowInfo();
    // The active presentation, reconnecting once when the connection was lost; empty on failure.
    std::shared_ptr<_Presentation> ActivePresentation();

    int Run();
    int Navigate(NavigateDirection direction);
    int GotoPage(std::int32_t slide);
    int SetState(std::int32_t newMode);
    int Quit();
    int QuitIfPastEnd();

    // One pen segment between two points of the slideshow window (the size phones read as
    // "PptViewSize"), each with x in its low and y in its high 16 bits: the pointer is put on
    // the first point (unless it is there), then on the second, in screen pixels. The button is
    // not touched; while a stroke holds it down, the move draws.
    void DrawSegment(std::uint32_t from, std::uint32_t to);
    // Puts the pointer on a point of the slideshow window, packed as for DrawSegment.
    void PlacePointer(std::uint32_t point);

private:
    struct Show {
        std::shared_ptr<_Presentation> presentation;
        std::shared_ptr<SlideShowWindow> window;
        std::shared_ptr<SlideShowView> view;
    };
    // The presentation, its slideshow window and view; throws AutomationError when one is
    // missing.
    Show Walk();
    void BlackScreenClick();
    // The slideshow window's screen rectangle now; false when no window is known.
    bool ShowRect(WindowRect* rect);
};

// Which presentation programs are registered: "none", "wps", "ms" or "mswps".
std::string DetectPresentationPrograms(AutomationHost& host);
