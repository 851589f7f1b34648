// The update form's values, read from the running application. The same on every system.
#pragma once

#include <mutex>
#include <string>

#include "update/updater.h"

class CorvaneApplication;

class ApplicationUpdateFacts : public UpdateFacts {
public:
    // The application must outlive these facts or be forgotten first.
    explicit ApplicationUpdateFacts(CorvaneApplication& application);

    // Update thread.
    void EnterUpdateThread() override;
    std::string HardwareAddress() override;
    std::string ComputerName() override;
    std::string PresentationPrograms() override;
    std::string OfficeInitErrors() override;

    // Cuts the tie to the application, for an update thread that may outlive it; the values are
    // empty (programs "none") from then on. Any thread.
    void Forget();

private:
    std::mutex gate_;
    CorvaneApplication* application_;  // guarded by gate_
};
