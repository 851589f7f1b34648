// Starting, moving, switching and ending the slideshow, and the pen's strokes on it.
#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/automation_host.h"
#include "platform/input.h"
#include "presentation/msi_ppt.h"
#include "presentation/presentation_texts.h"
#include "support/log.h"
#include "support/trace.h"

msi_ppt::msi_ppt(AutomationHost* host, InputInjector* input, StartFailureCounter* startFailures)
    : host(host),
      input(input),
      startFailures(startFailures),
      sleep([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }) {}

std::shared_ptr<_Presentation> msi_ppt::ActivePresentation() {
    bool retryAllowed = true;
    for (;;) {
        if (!app) InitApplication();
        if (!app) return nullptr;
        try {
            return app->get_ActivePresentation();
        } catch (const AutomationError& e) {
            LogPrintf("msi_ppt::ActivePresentation(): %d,HR=%X,%s; <%s>\n", e.AppErrorCode(),
                      static_cast<unsigned>(e.hr), e.description.c_str(), e.source.c_str());
            if (e.AppErrorCode() != 0) return nullptr;  // the program answered: keep it
            // The connection itself failed (the program was closed): connect afresh, once.
            app.reset();
            if (!retryAllowed) return nullptr;
            retryAllowed = false;
        } catch (...) {
            LogPrintf(kActivePresentationUnknownText);
            return nullptr;
        }
    }
}

msi_ppt::Show msi_ppt::Walk() {
    Show show;
    show.presentation = ActivePresentation();
    show.window = Required(show.presentation).get_SlideShowWindow();
    show.view = Required(show.window).get_View();
    Required(show.view);
    return show;
}

int msi_ppt::Run() {
    try {
        if (app) app->put_Visible(kMsoTrue);
    } catch (...) {
        // Showing the program's window is a courtesy; the show can start without it.
    }
    try {
        std::shared_ptr<_Presentation> presentation = ActivePresentation();
        Required(presentation);
        std::int32_t startSlide = 1;
        try {
            auto window = app->get_ActiveWindow();
            auto selection = Required(window).get_Selection();
            auto range = Required(selection).get_SlideRange();
            startSlide = Required(range).get_SlideIndex();
        } catch (...) {
            startSlide = 1;  // nothing selected in the editing window
        }
        TracePrintf("CurPos=%d\n", startSlide);
        try {
            auto window = presentation->get_SlideShowWindow();
            if (window && window->get_View()) return 1;  // already running
        } catch (const AutomationError&) {
            // no slideshow yet
        }
        auto settings = presentation->get_SlideShowSettings();
        auto window = Required(settings).Run();
        auto view = Required(window).get_View();
        Required(view).GotoSlide(startSlide, kMsoTrue);
        // Mode 0 makes SetState apply the saved mode to the new show.
        std::int32_t saved = mode;
        mode = 0;
        SetState(saved);
        return 1;
    } catch (const AutomationError& e) {
        LogPrintf("msi_ppt::Run(): HR=0x%X, Desc=%s, SRC=%s\n", static_cast<unsigned>(e.hr),
                  e.description.c_str(), e.source.c_str());
        TracePrintf(kRunFailedText);
        return 0;
    } catch (...) {
        LogPrintf(kRunUnknownText);
        return 0;
    }
}

int msi_ppt::Navigate(NavigateDirection direction) {
    try {
        Show show = Walk();
        std::int32_t count = Required(show.presentation->get_Slides()).get_Count();
        if (direction == NavigateDirection::kNext) {
            std::int32_t current = show.view->get_CurrentShowPosition();
            TracePrintf("NUM=%d, Cur=%d\n", count, current);
            if (count > show.view->get_CurrentShowPosition()) {
                show.view->Next();
            } else {
                show.view->Exit();  // next at or past the last slide ends the show
                return 1;
            }
        } else {
            if (show.view->get_CurrentShowPosition() > 1) {
                show.view->Previous();
            } else {
                show.view->Exit();  // previous on the first slide ends the show
                return 1;
            }
        }
        SetState(mode);
        return 1;
    } catch (...) {
        TracePrintf(kNavigateFailedText);
    }
    // No show to move in: start one at the selected slide.
    return Run();
}

int msi_ppt::GotoPage(std::int32_t slide) {
    try {
        Show show = Walk();
        if (slide < 1) slide = 1;
        if (slide > Required(show.presentation->get_Slides()).get_Count()) {
            slide = Required(show.presentation->get_Slides()).get_Count();
        }
        show.view->GotoSlide(slide, kMsoTrue);
        return 1;
    } catch (...) {
        return 0;
    }
}

void msi_ppt::BlackScreenClick() {
    if (input == nullptr) return;
    input->MouseEvent(kMouseLeftDown, 0, 0, 0);
    input->Flush();
    sleep(500);
    input->MouseEvent(kMouseLeftUp, 0, 0, 0);
    input->Flush();
}

int msi_ppt::SetState(std::int32_t newMode) {
    if (newMode == mode) {
        TracePrintf("Has Right State\n");
        return 1;
    }
    try {
        Show show = Walk();
        std::int32_t state = show.view->get_State();
        if (state == kShowBlackScreen || state == kShowWhiteScreen) {
            if (newMode == MODE_BLACK) return 1;
            TracePrintf("BlackScreen : Back To Running..\n");
            if (host != nullptr) {
                host->SetForegroundWindow(show.window->get_HWND());
                host->SetActiveWindow(show.window->get_HWND());
            }
            BlackScreenClick();
        }
        show.view->put_PointerType(kPointerAlwaysHidden);
        switch (newMode) {
            case MODE_ARROW:
                show.view->put_PointerType(kPointerArrow);
                mode = MODE_ARROW;
                break;
            case MODE_PRE_DRAW:
                show.view->put_PointerType(kPointerArrow);
                TracePrintf("Pre Draw.\n");
                mode = MODE_PRE_DRAW;
                break;
            case MODE_PEN: {
                auto color = show.view->get_PointerColor();
                try {
                    Required(color).put_RGB(penColor);
                } catch (const AutomationError&) {
                    // the pen keeps the program's current colour
                }
                show.view->put_PointerType(kPointerPen);
                mode = MODE_PEN;
                break;
            }
            case MODE_BLACK:
                show.view->put_State(kShowBlackScreen);
                mode = MODE_BLACK;
                break;
            default:
                return 0;
        }
        showWindow = show.window->get_HWND();
        if (host != nullptr) {
            host->SetForegroundWindow(show.window->get_HWND());
            host->SetActiveWindow(show.window->get_HWND());
        }
        return 1;
    } catch (...) {
        TracePrintf("SetState Error.\n");
        return 0;
    }
}

int msi_ppt::Quit() {
    try {
        Walk().view->Exit();
        return 1;
    } catch (...) {
        TracePrintf("Quit Exception.\n");
        return 0;
    }
}

int msi_ppt::QuitIfPastEnd() {
    try {
        Show show = Walk();
        std::int32_t count = Required(show.presentation->get_Slides()).get_Count();
        std::int32_t current = show.view->get_CurrentShowPosition();
        if (current >= count + 1) show.view->Exit();  // standing on the end screen
        return 1;
    } catch (...) {
        TracePrintf("Quit Exception.\n");
        return 0;
    }
}

namespace {

struct ScreenPoint {
    int x, y;
};

// A point of the slideshow window on the screen. The show often runs on a second screen (the
// projector), so its window does not start at (0, 0). A point beyond the window stays on its
// edge: with the button held it would otherwise drag across the presenter's other screen.
// Without a known window the point is taken as a screen position.
ScreenPoint ToScreen(std::uint32_t point, const WindowRect* window) {
    int x = static_cast<int>(point & 0xFFFF), y = static_cast<int>(point >> 16);
    if (window == nullptr) return {x, y};
    return {std::clamp(window->left + x, window->left, window->right - 1),
            std::clamp(window->top + y, window->top, window->bottom - 1)};
}

}  // namespace

// Asked afresh for every use: the presenter may move the show to another screen at any time,
// and the host's answer costs no call into the presentation program.
bool msi_ppt::ShowRect(WindowRect* rect) {
    WindowHandle window = showWindow;
    if (host == nullptr || window == 0 || !host->GetWindowRect(window, rect)) return false;
    return rect->right > rect->left && rect->bottom > rect->top;
}

void msi_ppt::PlacePointer(std::uint32_t point) {
    if (input == nullptr) return;
    WindowRect rect;
    ScreenPoint at = ToScreen(point, ShowRect(&rect) ? &rect : nullptr);
    input->SetCursorPosition(at.x, at.y);
    input->Flush();
}

// Both ends are absolute placements: a relative move would be scaled by the system's pointer
// acceleration, so each segment would overshoot and the next one jump back. A stroke's segments
// usually chain, so the start is placed only when the pointer is elsewhere: a second placement on
// the same spot adds nothing but one more move for the presentation program to take in.
void msi_ppt::DrawSegment(std::uint32_t from, std::uint32_t to) {
    if (input != nullptr) {
        WindowRect rect;
        const WindowRect* window = ShowRect(&rect) ? &rect : nullptr;
        ScreenPoint start = ToScreen(from, window), end = ToScreen(to, window);
        int x = 0, y = 0;
        if (!input->CursorPosition(&x, &y) || x != start.x || y != start.y) {
            input->SetCursorPosition(start.x, start.y);
        }
        input->SetCursorPosition(end.x, end.y);
        input->Flush();
    }
    TracePrintf("X1=%d,Y1=%d,X2=%d,Y2=%d\n", static_cast<int>(from & 0xFFFF),
                static_cast<int>(from >> 16), static_cast<int>(to & 0xFFFF),
                static_cast<int>(to >> 16));
}
