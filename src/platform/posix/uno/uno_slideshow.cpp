// The running show: its window, its position, moves, blank screens, pointer and pen.
#include <chrono>
#include <thread>

#include <com/sun/star/awt/SystemDependentXWindow.hpp>
#include <com/sun/star/awt/XSystemDependentWindowPeer.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/XController2.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XFrames.hpp>
#include <com/sun/star/frame/XFramesSupplier.hpp>
#include <com/sun/star/lang/SystemDependent.hpp>

#include "platform/posix/office_module.h"
#include "platform/posix/uno/show_position.h"
#include "platform/posix/uno/uno_objects.h"

using css::uno::Reference;
using css::uno::UNO_QUERY;

namespace {

AutomationError ShowEnded() {
    return AutomationError{kOfficeCallFailed, true, "The slide show has ended", "LibreOffice"};
}

// The X11 window of a frame's window, or 0. The office hands the handle to any caller that asks
// (the process id it takes is not checked on X11).
WindowHandle XWindowOf(const Reference<css::awt::XWindow>& window) {
    Reference<css::awt::XSystemDependentWindowPeer> peer(window, UNO_QUERY);
    if (!peer.is()) return 0;
    css::uno::Sequence<sal_Int8> anyProcess(16);
    css::uno::Any handle =
        peer->getWindowHandle(anyProcess, css::lang::SystemDependent::SYSTEM_XWINDOW);
    css::awt::SystemDependentXWindow xwindow;
    if (!(handle >>= xwindow)) return 0;
    return static_cast<WindowHandle>(xwindow.WindowHandle);
}

// A full-screen show has a frame of its own (the show view of the document); a show in a window
// runs in the document's frame.
WindowHandle ShowWindowOf(OfficeLink& link, const ModelRef& model) {
    Reference<css::frame::XFramesSupplier> desktop(link.Desktop(), UNO_QUERY);
    if (!desktop.is()) return 0;
    Reference<css::container::XIndexAccess> frames(desktop->getFrames(), UNO_QUERY);
    if (!frames.is()) return 0;
    Reference<css::frame::XFrame> documentFrame;
    for (sal_Int32 i = 0; i < frames->getCount(); ++i) {
        Reference<css::frame::XFrame> frame(frames->getByIndex(i), UNO_QUERY);
        if (!frame.is()) continue;
        Reference<css::frame::XController> controller = frame->getController();
        if (!controller.is() || controller->getModel() != model) continue;
        Reference<css::frame::XController2> named(controller, UNO_QUERY);
        if (named.is() && named->getViewControllerName() == kShowViewName) {
            return XWindowOf(frame->getContainerWindow());
        }
        if (!documentFrame.is()) documentFrame = frame;
    }
    return documentFrame.is() ? XWindowOf(documentFrame->getContainerWindow()) : 0;
}

// Everything a view call needs; the controller is checked before every use.
struct Show {
    std::shared_ptr<OfficeLink> link;
    ModelRef model;
    PresentationRef presentation;
    ControllerRef controller;

    // The controller, when its show is still the one running; throws otherwise.
    const ControllerRef& Live() const {
        if (!controller->isRunning() || presentation->getController() != controller) {
            throw ShowEnded();
        }
        return controller;
    }
    ShowFacts Facts() const {
        const ControllerRef& live = Live();
        ShowFacts facts;
        facts.index = live->getCurrentSlideIndex();
        facts.count = live->getSlideCount();
        facts.paused = live->isPaused();
        facts.ownBlank = link->BlankOf(live);
        // Resumed by other means (a click, a key): the blank screen is gone.
        if (!facts.paused && facts.ownBlank != 0) {
            link->MarkBlank(live, 0);
            facts.ownBlank = 0;
        }
        return facts;
    }
};

class OfficePenColor : public ColorFormat {
public:
    explicit OfficePenColor(Show show) : show_(std::move(show)) {}
    void put_RGB(std::uint32_t bgr) override {
        show_.link->Call([&] { show_.Live()->setPenColor(OfficeColor(bgr)); });
    }

private:
    Show show_;
};

class OfficeShowView : public SlideShowView {
public:
    explicit OfficeShowView(Show show) : show_(std::move(show)) {}

    std::int32_t get_CurrentShowPosition() override {
        return show_.link->Call([&] { return ShowPosition(show_.Facts()); });
    }
    void Next() override {
        show_.link->Call([&] {
            // The end screen is the last stop: the show waits there to be ended.
            if (!OnEndScreen(show_.Facts())) show_.Live()->gotoNextSlide();
        });
    }
    void Previous() override {
        show_.link->Call([&] {
            ShowFacts facts = show_.Facts();
            // From the end screen the office would skip the last slide; go back to it.
            if (OnEndScreen(facts)) {
                show_.Live()->gotoSlideIndex(facts.count - 1);
            } else {
                show_.Live()->gotoPreviousSlide();
            }
        });
    }
    void Exit() override {
        show_.link->Call([&] {
            show_.Live();
            show_.link->MarkBlank(show_.controller, 0);
            show_.presentation->end();
            // The show closes asynchronously; the next look at it must not find it running.
            auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
            while (show_.presentation->isRunning() && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    void GotoSlide(std::int32_t index, std::int32_t) override {
        show_.link->Call([&] {
            const ControllerRef& live = show_.Live();
            if (index < 1 || index > live->getSlideCount()) {
                throw AutomationError{kOfficeCallFailed, true, "No such slide", "LibreOffice"};
            }
            live->gotoSlideIndex(index - 1);
        });
    }
    std::int32_t get_State() override {
        return show_.link->Call([&] { return ShowState(show_.Facts()); });
    }
    void put_State(std::int32_t state) override {
        show_.link->Call([&] {
            const ControllerRef& live = show_.Live();
            switch (state) {
                case kShowBlackScreen:
                    live->blankScreen(0x000000);
                    break;
                case kShowWhiteScreen:
                    live->blankScreen(0xFFFFFF);
                    break;
                case kShowRunning:
                    live->resume();
                    state = 0;
                    break;
                default:
                    throw AutomationError{kOfficeCallFailed, true, "Unknown show state",
                                          "LibreOffice"};
            }
            show_.link->MarkBlank(live, state);
        });
    }
    void put_PointerType(std::int32_t type) override {
        show_.link->Call([&] {
            const ControllerRef& live = show_.Live();
            // A new mode ends a blank screen (see ShowState).
            if (BlankScreenUp(show_.Facts())) {
                live->resume();
                show_.link->MarkBlank(live, 0);
            }
            switch (type) {
                case kPointerArrow:
                    live->setUsePen(false);
                    live->setMouseVisible(true);
                    break;
                case kPointerPen:
                    // The pen draws where the pointer is dragged with the button down.
                    live->setUsePen(true);
                    live->setMouseVisible(true);
                    break;
                case kPointerAlwaysHidden:
                    live->setUsePen(false);
                    live->setMouseVisible(false);
                    break;
                default:
                    throw AutomationError{kOfficeCallFailed, true, "Unknown pointer type",
                                          "LibreOffice"};
            }
        });
    }
    std::shared_ptr<ColorFormat> get_PointerColor() override {
        return std::make_shared<OfficePenColor>(show_);
    }

private:
    Show show_;
};

class OfficeShowWindow : public SlideShowWindow {
public:
    explicit OfficeShowWindow(Show show) : show_(std::move(show)) {}
    std::shared_ptr<SlideShowView> get_View() override {
        bool live = show_.link->Call([&] {
            try {
                show_.Live();
                return true;
            } catch (const AutomationError&) {
                return false;
            }
        });
        if (!live) return nullptr;
        return std::make_shared<OfficeShowView>(show_);
    }
    // The show's X11 window; 0 while it cannot be found.
    WindowHandle get_HWND() override {
        if (window_ == 0) {
            window_ = show_.link->Call([&] { return ShowWindowOf(*show_.link, show_.model); });
        }
        return window_;
    }

private:
    Show show_;
    WindowHandle window_ = 0;
};

}  // namespace

std::shared_ptr<SlideShowWindow> NewShowWindow(std::shared_ptr<OfficeLink> link,
                                               const ModelRef& model,
                                               const PresentationRef& presentation,
                                               const ControllerRef& controller) {
    return std::make_shared<OfficeShowWindow>(
        Show{std::move(link), model, presentation, controller});
}
