// The office module's entry point: corvane-uno.so exports CorvaneOfficeModule, which the Linux
// automation host finds with dlsym.
#include "platform/posix/office_module.h"
#include "platform/posix/uno/office_link.h"
#include "platform/posix/uno/uno_objects.h"

namespace {

class UnoOfficeModule : public OfficeModule {
public:
    explicit UnoOfficeModule(OfficeLink::LogLine log) : link_(std::make_shared<OfficeLink>(log)) {}

    std::shared_ptr<_Application> Attach(std::int32_t* hr) override {
        try {
            link_->Connect();
            if (hr != nullptr) *hr = 0;
            return NewOfficeApplication(link_);
        } catch (const AutomationError& e) {
            if (hr != nullptr) *hr = e.hr;
            return nullptr;
        }
    }

    void Detach() override { link_->Close(); }

private:
    std::shared_ptr<OfficeLink> link_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) OfficeModule* CorvaneOfficeModule(
    int version, const OfficeModuleServices* services) {
    if (version != kOfficeModuleVersion) return nullptr;
    return new UnoOfficeModule(services != nullptr ? services->log : nullptr);
}
