// CorvaneServer for Linux: the remote-control service as a program without windows. It runs
// until SIGINT or SIGTERM, the counterpart of the tray menu's "Shutdown".
#include <signal.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/automation_host.h"
#include "platform/input.h"
#include "platform/single_instance.h"
#include "platform/socket.h"
#include "shell/application.h"
#include "support/trace.h"

namespace {

class LinuxProgram : public CorvaneApplication {
public:
    LinuxProgram() : CorvaneApplication(CreateSystemInputInjector(), CreateSystemAutomationHost()) {}

    void ShowConnectionPopup(const char* text) override {
        TracePrintf("%s 已经连上来了\n", text);
    }
};

// Waits up to `seconds` for SIGINT or SIGTERM (blocked in every thread); true when one came.
bool WaitForStopSignal(const sigset_t& signals, int seconds) {
    timespec timeout{seconds, 0};
    for (;;) {
        int s = sigtimedwait(&signals, nullptr, &timeout);
        if (s == SIGINT || s == SIGTERM) return true;
        if (s < 0 && errno == EINTR) continue;
        return false;
    }
}

}  // namespace

int main() {
    std::unique_ptr<SingleInstanceLock> lock = AcquireSingleInstanceLock();
    if (!lock) {
        std::printf("CorvaneServer is already running for this user; this copy ends.\n");
        return 0;
    }
    // Blocked before any thread starts, so every thread inherits the mask and the signals
    // wait for the main thread's sigtimedwait.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    SocketLibraryStartup();
    auto program = std::make_unique<LinuxProgram>();
    program->Initialize();
    if (!program->ServiceRunning()) {
        TracePrintf("The remote-control service is not running (Disconnected); see the log.\n");
    }
    while (!WaitForStopSignal(signals, 5)) {
    }
    program->Shutdown();
    program.reset();
    SocketLibraryCleanup();
    return 0;
}
