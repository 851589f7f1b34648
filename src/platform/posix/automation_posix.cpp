// The Linux automation host. The presentation program asked for by its class name is
// LibreOffice Impress, reached through the office module when it was built and LibreOffice is
// installed; otherwise class lookup fails the way an unregistered class name does, and
// presentation requests fall back to keys. Windows, the pen cursor and the focus are X11's.
#include "platform/posix/automation_posix.h"

#include <strings.h>

#include "platform/automation_host.h"
#include "platform/posix/cursor_image.h"
#include "platform/posix/office_module.h"
#include "platform/posix/office_module_loader.h"
#include "platform/posix/x11_desktop.h"

namespace {

// The class name the program asks for, "Powerpoint.Application" (class names are compared
// without regard to case, as the system's registry does).
bool IsPresentationClass(const char* className) {
    return className != nullptr && strcasecmp(className, "Powerpoint.Application") == 0;
}

// Thread contract: Create, GetRunning and the window calls on the presentation worker; the
// cursor calls there and, after the worker ended, on the main thread at shutdown.
class PosixAutomationHost : public AutomationHost {
public:
    PosixAutomationHost(std::string modulePath, std::string display)
        : modulePath_(std::move(modulePath)), desktop_(std::move(display)) {}
    ~PosixAutomationHost() override {
        if (module_) module_->Detach();
    }

    // No program is registered under these class names here; Impress is driven in the
    // presentation program's stead, and the report of programs found says so ("none": neither
    // Microsoft's nor WPS's program is there).
    std::int32_t LookUpClass(const char*) override { return kClassStringError; }

    // Attaches to the office this user runs; an office is never started for the phone.
    std::shared_ptr<_Application> Create(const char* className, std::int32_t* hr) override {
        OfficeModule* module = IsPresentationClass(className) ? Module() : nullptr;
        if (module == nullptr) {
            *hr = kClassStringError;
            return nullptr;
        }
        return module->Attach(hr);
    }

    std::shared_ptr<_Application> GetRunning(const char* className) override {
        std::int32_t hr = 0;
        return Create(className, &hr);
    }

    bool GetWindowRect(WindowHandle window, WindowRect* rect) override {
        return desktop_.WindowRect(window, rect);
    }
    void SetForegroundWindow(WindowHandle window) override { desktop_.Activate(window); }
    // The window SetForegroundWindow brought forward has the keyboard focus already.
    void SetActiveWindow(WindowHandle) override {}

    void InstallPenCursor() override { desktop_.ReplaceArrow(PenCursorImage()); }
    void RestoreSystemCursors() override { desktop_.RestoreArrow(); }

private:
    OfficeModule* Module() {
        if (!moduleTried_) {
            moduleTried_ = true;
            module_.reset(LoadOfficeModule(modulePath_));
        }
        return module_.get();
    }

    const std::string modulePath_;
    bool moduleTried_ = false;
    std::unique_ptr<OfficeModule> module_;  // its library stays loaded after it is gone
    X11Desktop desktop_;
};

}  // namespace

std::unique_ptr<AutomationHost> CreatePosixAutomationHost(const std::string& modulePath,
                                                          const std::string& display) {
    return std::make_unique<PosixAutomationHost>(modulePath, display);
}

std::unique_ptr<AutomationHost> CreateSystemAutomationHost() {
    return CreatePosixAutomationHost(OfficeModulePath());
}
