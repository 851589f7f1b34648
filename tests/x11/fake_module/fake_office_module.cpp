// A stand-in for the office module (corvane-uno.so), built like it (a shared library with only
// its entry point visible), for the Linux automation host's tests: an office that runs when the
// test says so, whose application refuses every call.
#include "platform/posix/office_module.h"

#include <string>

namespace {

// What the test sets and reads (through FakeOfficeModuleState).
struct FakeOfficeState {
    bool running = false;
    int attaches = 0;
    int detaches = 0;
};

FakeOfficeState g_state;

class RefusingApplication : public _Application {
public:
    std::shared_ptr<_Presentation> get_ActivePresentation() override {
        throw AutomationError{kOfficeCallFailed, true, "refused by the fake office", "Fake"};
    }
    std::shared_ptr<DocumentWindow> get_ActiveWindow() override { return nullptr; }
    void put_Visible(std::int32_t) override {}
};

class FakeModule : public OfficeModule {
public:
    std::shared_ptr<_Application> Attach(std::int32_t* hr) override {
        ++g_state.attaches;
        if (!g_state.running) {
            *hr = kOfficeNotRunning;
            return nullptr;
        }
        *hr = 0;
        return std::make_shared<RefusingApplication>();
    }
    void Detach() override { ++g_state.detaches; }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) OfficeModule* CorvaneOfficeModule(
    int version, const OfficeModuleServices* services) {
    if (version != kOfficeModuleVersion) return nullptr;
    if (services != nullptr && services->log != nullptr) services->log("fake office module\n");
    return new FakeModule;
}

extern "C" __attribute__((visibility("default"))) void* FakeOfficeModuleState() { return &g_state; }
