// What passes between the Linux automation host and the office module (corvane-uno.so beside the
// executable), which drives LibreOffice Impress through its UNO API. The module is built only
// where the LibreOffice SDK is found and loaded at run time, so that the program runs without
// it. Both sides are built from this tree by the same compiler: they share the object model's
// classes (platform/automation.h) and AutomationError travels from the module to its callers.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/automation.h"

// Bumped whenever this interface or the object model changes; a module of another build is
// refused.
constexpr int kOfficeModuleVersion = 1;
constexpr const char* kOfficeModuleFile = "corvane-uno.so";
constexpr const char* kOfficeModuleEntry = "CorvaneOfficeModule";

// No office runs for this user (the code the running-object lookup gives for a program that is
// not running).
constexpr std::int32_t kOfficeNotRunning = static_cast<std::int32_t>(0x800401E3);
// The office runs but cannot be reached, or the connection to it broke (the code of a server
// that went away).
constexpr std::int32_t kOfficeUnreachable = static_cast<std::int32_t>(0x800706BA);
// The office refused a call (its own error; the connection is fine).
constexpr std::int32_t kOfficeCallFailed = static_cast<std::int32_t>(0x80040201);

// What the host lends the module.
struct OfficeModuleServices {
    // One line for the program's log (with its line feed). Any thread.
    void (*log)(const char* line) = nullptr;
};

class OfficeModule {
public:
    virtual ~OfficeModule() = default;
    // The office this user runs, as the presentation program's application, attaching to it
    // when needed. Empty, with *hr set, when no office runs or it cannot be reached. Never starts
    // an office. Worker thread.
    virtual std::shared_ptr<_Application> Attach(std::int32_t* hr) = 0;
    // Lets go of the office (program end). After the last Attach and the last use of what it
    // returned; any thread.
    virtual void Detach() = 0;
};

// The module's one exported function: a new module for this interface version, or null when
// the versions differ. The host deletes the object at its end, after Detach; the library itself
// is never unloaded.
using OfficeModuleEntryPoint = OfficeModule* (*)(int version, const OfficeModuleServices* services);
