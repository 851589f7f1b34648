// How the program finds the presentation program and touches the desktop for it. One host per
// system (COM on Windows); tests script their own.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/automation.h"

struct WindowRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

class AutomationHost {
public:
    virtual ~AutomationHost() = default;

    // Prepares the calling thread for automation (Windows: the multithreaded COM apartment).
    virtual void EnterWorkerThread() {}

    // Whether a program is registered under the class name; returns 0 or the failure code.
    virtual std::int32_t LookUpClass(const char* className) = 0;
    // Creates (or connects to) the application registered under the class name, or a "{...}"
    // class identifier. Empty with *hr set on failure.
    virtual std::shared_ptr<_Application> Create(const char* className, std::int32_t* hr) = 0;
    // The instance of the class that is already running, or empty. Never starts one.
    virtual std::shared_ptr<_Application> GetRunning(const char* className) = 0;

    virtual bool GetWindowRect(WindowHandle window, WindowRect* rect) = 0;
    virtual void SetForegroundWindow(WindowHandle window) = 0;
    virtual void SetActiveWindow(WindowHandle window) = 0;

    // Replaces the normal arrow cursor with the pen cursor; RestoreSystemCursors undoes it.
    virtual void InstallPenCursor() = 0;
    virtual void RestoreSystemCursors() = 0;
};

// This system's host. On systems without the presentation program's automation, class lookup
// fails with the class-string error and the cursor calls do nothing.
std::unique_ptr<AutomationHost> CreateSystemAutomationHost();
