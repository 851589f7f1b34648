// The Linux program's desktop face (tray icon and settings window), built only where its toolkit
// is installed. The program starts the application as it always does and then hands the main
// thread to the face, which runs its user-interface loop until the user shuts down or a stop
// signal arrives; the program then ends the application as it always does.
#pragma once

#include <signal.h>

#include <functional>

class CorvaneApplication;
class SingleInstanceLock;

struct DesktopSession {
    // Initialised and serving; the face calls it on the main thread only.
    CorvaneApplication& application;
    // SIGINT and SIGTERM, blocked in every thread: the face waits for them (signalfd) and ends
    // its loop when one arrives.
    const sigset_t& stopSignals;
    // The program's single-instance lock: the face takes later copies' calls through it and
    // shows its window for each.
    SingleInstanceLock& instanceLock;
    // The program's own housekeeping, to be called every five seconds on the main thread.
    std::function<void()> everyFiveSeconds;
};

// Runs the face and returns the program's exit code. Main thread.
using DesktopFace = int (*)(DesktopSession& session);
