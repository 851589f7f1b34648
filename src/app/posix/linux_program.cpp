#include "app/posix/linux_program.h"

#include <signal.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "app/posix/notice_update_dialogue.h"
#include "netinfo/local_addresses.h"
#include "platform/automation_host.h"
#include "platform/http_client.h"
#include "platform/input.h"
#include "platform/notifier.h"
#include "platform/single_instance.h"
#include "platform/socket.h"
#include "shell/application.h"
#include "shell/update_facts.h"
#include "support/trace.h"
#include "update/update_worker.h"

namespace {

class LinuxProgram : public CorvaneApplication {
public:
    LinuxProgram()
        : CorvaneApplication(CreateSystemInputInjector(), CreateSystemAutomationHost()),
          notifier_(CreateConnectionNotifier()) {}

    // Connection threads; the notifier hands the notice to a thread of its own.
    void ShowConnectionPopup(const char* text) override {
        notifier_->Show(text, kConnectedNoticeBody);
    }

private:
    std::unique_ptr<ConnectionNotifier> notifier_;
};

// What the settings page would show as "IP Address"; printed when it changes.
std::string AddressText() {
    LocalAddressList list;
    EnumerateLocalAddresses(&list);
    return SummarizeAddresses(list).text;
}

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

int RunLinuxProgram() {
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
    std::string address = AddressText();
    TracePrintf("IP Address: %s\n", address.c_str());
    // The updater's question becomes a desktop notice here; nothing is downloaded or run.
    std::shared_ptr<UpdateWorker> updater =
        UpdateWorker::Start(std::make_unique<ApplicationUpdateFacts>(*program),
                            std::make_unique<NoticeUpdateDialogue>(CreateConnectionNotifier()),
                            CreateHttpClient(BuiltInHttpClientOptions()), BuiltInUpdateSettings());
    while (!WaitForStopSignal(signals, 5)) {
        std::string now = AddressText();
        if (now != address) TracePrintf("IP Address: %s\n", now.c_str());
        address = now;
    }
    updater->Stop();
    updater->Join();
    updater.reset();
    program->Shutdown();
    if (program->WorkerLeftBehind()) {
        // The worker is stuck in a call into the presentation program and still uses the
        // program object: leaked on purpose (reachable, so leak checkers stay quiet).
        [[maybe_unused]] static LinuxProgram* leftBehind = nullptr;
        leftBehind = program.release();
    }
    program.reset();
    SocketLibraryCleanup();
    return 0;
}
