#include "shell/update_facts.h"

#include "platform/automation_host.h"
#include "shell/application.h"
#include "shell/start_failures.h"

ApplicationUpdateFacts::ApplicationUpdateFacts(CorvaneApplication& application)
    : application_(&application) {}

void ApplicationUpdateFacts::EnterUpdateThread() {
    std::lock_guard<std::mutex> guard(gate_);
    // The class lookups for the form need the thread prepared like the presentation worker's.
    if (application_ != nullptr) application_->automation().EnterWorkerThread();
}

// The hardware address is written once during start-up, before the update thread exists.
std::string ApplicationUpdateFacts::HardwareAddress() {
    std::lock_guard<std::mutex> guard(gate_);
    return application_ != nullptr ? application_->HardwareAddressText : std::string();
}

std::string ApplicationUpdateFacts::ComputerName() {
    std::lock_guard<std::mutex> guard(gate_);
    return application_ != nullptr ? application_->ComputerName() : std::string();
}

std::string ApplicationUpdateFacts::PresentationPrograms() {
    std::lock_guard<std::mutex> guard(gate_);
    return application_ != nullptr ? DetectPresentationPrograms(application_->automation())
                                   : "none";
}

std::string ApplicationUpdateFacts::OfficeInitErrors() { return ReadOfficeInitErrors(); }

void ApplicationUpdateFacts::Forget() {
    std::lock_guard<std::mutex> guard(gate_);
    application_ = nullptr;
}
