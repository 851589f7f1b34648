// No presentation program can be automated here: every class lookup fails the way an
// unregistered class name does, so presentation requests fall back to keys.
#include "platform/automation_host.h"

namespace {

class PosixAutomationHost : public AutomationHost {
public:
    std::int32_t LookUpClass(const char*) override { return kClassStringError; }
    std::shared_ptr<_Application> Create(const char*, std::int32_t* hr) override {
        *hr = kClassStringError;
        return nullptr;
    }
    std::shared_ptr<_Application> GetRunning(const char*) override { return nullptr; }
    bool GetWindowRect(WindowHandle, WindowRect*) override { return false; }
    void SetForegroundWindow(WindowHandle) override {}
    void SetActiveWindow(WindowHandle) override {}
    void InstallPenCursor() override {}
    void RestoreSystemCursors() override {}
};

}  // namespace

std::unique_ptr<AutomationHost> CreateSystemAutomationHost() {
    return std::make_unique<PosixAutomationHost>();
}
