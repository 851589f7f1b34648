// Reaching the presentation program: creating it, finding a running slideshow, and which
// programs are registered (for the update check).
#include "platform/automation_host.h"
#include "presentation/msi_ppt.h"
#include "presentation/presentation_texts.h"
#include "support/log.h"

namespace {

constexpr const char* kWpsClass = "WPP.Application";

}  // namespace

int msi_ppt::InitApplication() {
    app.reset();
    std::int32_t hr = kClassStringError;
    std::shared_ptr<_Application> created;
    if (host != nullptr) created = host->Create(kPresentationClass, &hr);
    if (created) {
        app = std::move(created);
        return 1;
    }
    LogPrintf(kInitFailedFormat, static_cast<unsigned>(hr));
    if (startFailures != nullptr) startFailures->Count(hr);
    return 0;
}

int msi_ppt::RefreshShowInfo() {
    std::shared_ptr<_Application> running;
    if (host != nullptr) running = host->GetRunning(kPresentationClass);
    if (running) {
        try {
            auto presentation = running->get_ActivePresentation();
            auto window = Required(presentation).get_SlideShowWindow();
            auto view = Required(window).get_View();
            Required(view);
            std::int32_t count = Required(presentation->get_Slides()).get_Count();
            std::int32_t position = view->get_CurrentShowPosition();
            WindowRect rect;
            if (!host->GetWindowRect(window->get_HWND(), &rect)) {
                throw AutomationError{kEFail, false, {}, {}};
            }
            slideCount = count;
            curPos = position;
            attached = 1;
            viewWidth = rect.right - rect.left;
            viewHeight = rect.bottom - rect.top;
            showWindow = window->get_HWND();
            return 1;
        } catch (...) {
            // No presentation, no slideshow, or the program went away: nothing to report.
        }
    }
    curPos = -1;
    slideCount = -1;
    attached = 0;
    return 0;
}

std::string DetectPresentationPrograms(AutomationHost& host) {
    bool ms = host.LookUpClass(kPresentationClass) == 0;
    bool wps = host.LookUpClass(kWpsClass) == 0;
    if (ms && wps) return "mswps";
    if (ms) return "ms";
    if (wps) return "wps";
    return "none";
}
