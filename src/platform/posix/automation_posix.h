// The Linux automation host with its parts named: the office module file and the X display.
// The program uses CreateSystemAutomationHost() (platform/automation_host.h); tests give their
// own module and display.
#pragma once

#include <memory>
#include <string>

#include "platform/automation_host.h"

// `modulePath`: the office module, loaded when first needed (a missing file means no
// presentation program can be automated); `display`: empty for $DISPLAY.
std::unique_ptr<AutomationHost> CreatePosixAutomationHost(const std::string& modulePath,
                                                          const std::string& display = "");
