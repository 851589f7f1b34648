#include "app/posix/linux_program.h"

#include <signal.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/posix/notice_update_dialogue.h"
#include "app/posix/program_options.h"
#include "app/posix/run_mode.h"
#include "netinfo/local_addresses.h"
#include "platform/automation_host.h"
#include "platform/http_client.h"
#include "platform/input.h"
#include "platform/notifier.h"
#include "platform/single_instance.h"
#include "platform/socket.h"
#include "shell/application.h"
#include "shell/settings_store.h"
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

// Waits up to `seconds` for a stop signal (blocked in every thread); true when one came.
bool WaitForStopSignal(const sigset_t& signals, int seconds) {
    timespec timeout{seconds, 0};
    for (;;) {
        int s = sigtimedwait(&signals, nullptr, &timeout);
        if (s == SIGINT || s == SIGTERM || s == SIGHUP) return true;
        if (s < 0 && errno == EINTR) continue;
        return false;
    }
}

ProgramOptions ReadCommandLine(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    return ParseProgramOptions(arguments);
}

// A command line that does not run the program: the usage, the version or the error; returns
// the exit status.
int AnswerCommandLine(const ProgramOptions& options) {
    switch (options.action) {
        case ProgramOptions::Action::kRun:
            return 0;
        case ProgramOptions::Action::kHelp:
            std::fputs(ProgramUsageText(), stdout);
            return 0;
        case ProgramOptions::Action::kVersion:
            std::fputs(ProgramVersionText().c_str(), stdout);
            return 0;
        case ProgramOptions::Action::kError:
            std::fprintf(stderr,
                         "CorvaneServer: %s\nTry 'CorvaneServer --help' for more information.\n",
                         options.error.c_str());
            return 2;
    }
    return 2;
}

}  // namespace

int RunLinuxProgram(int argc, char** argv, DesktopFace face) {
    // Answered without settings, log, lock or sockets.
    ProgramOptions options = ReadCommandLine(argc, argv);
    if (options.action != ProgramOptions::Action::kRun) return AnswerCommandLine(options);
    std::unique_ptr<SingleInstanceLock> lock = AcquireSingleInstanceLock();
    if (!lock) {
        std::printf("CorvaneServer is already running for this user; this copy ends.\n");
        // A running copy with windows shows its own, as a second start on Windows does.
        if (CallRunningCopy()) std::printf("Its settings window has been brought forward.\n");
        return 0;
    }
    // Decided before any thread starts: the face's toolkit wants the main thread from the start.
    const bool desktop = UseDesktopFace(face != nullptr, options.headless);
    // Blocked before any thread starts, so every thread inherits the mask and the signals
    // wait for the main thread (sigtimedwait, or the face's signalfd).
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    // Closing the terminal the program runs in ends it in order too, not in the middle of work.
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    // An installed program keeps its files in the user's folders: say which.
    TracePrintf("Settings: %s\nLog: %s\n", SettingsFilePath().c_str(), LogFilePath().c_str());
    SocketLibraryStartup();
    auto program = std::make_unique<LinuxProgram>();
    program->Initialize();
    if (!program->ServiceRunning()) {
        TracePrintf("The remote-control service is not running (Disconnected); see the log.\n");
    }
    std::string address = AddressText();
    TracePrintf("IP Address: %s\n", address.c_str());
    auto printAddressChange = [&address] {
        std::string now = AddressText();
        if (now != address) TracePrintf("IP Address: %s\n", now.c_str());
        address = now;
    };
    // The updater's question becomes a desktop notice here; nothing is downloaded or run.
    std::shared_ptr<UpdateWorker> updater =
        UpdateWorker::Start(std::make_unique<ApplicationUpdateFacts>(*program),
                            std::make_unique<NoticeUpdateDialogue>(CreateUpdateNotifier()),
                            CreateHttpClient(BuiltInHttpClientOptions()), BuiltInUpdateSettings());
    int status = 0;
    if (desktop) {
        DesktopSession session{*program, signals, *lock, printAddressChange};
        status = face(session);
    } else {
        while (!WaitForStopSignal(signals, 5)) printAddressChange();
    }
    updater->Stop();
    updater->Join();
    updater.reset();
    program->Shutdown();
    if (program->ThreadsLeftBehind()) {
        // A thread stuck in a call (the presentation program, a phone's command) still uses the
        // program object: leaked on purpose (reachable, so leak checkers stay quiet).
        [[maybe_unused]] static LinuxProgram* leftBehind = nullptr;
        leftBehind = program.release();
    }
    program.reset();
    SocketLibraryCleanup();
    return status;
}
