// The program's owner object: starts and stops everything in order and holds what the
// service's handlers share. The Windows main window and the Linux program both build on it;
// the window-less parts of the settings pages live here too.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "commands/handler_context.h"
#include "service/control_server.h"
#include "shell/start_failures.h"

class AutomationHost;
class InputInjector;
class PresentationWorker;

// Where the service listens. The real program always uses port 33589 on every address; tests
// choose others (port 0: any free one, and phones are told the port bound).
struct ServiceEndpoints {
    int tcpPort = 33589;
    int udpPort = 33589;
    const char* bindAddress = "0.0.0.0";
    const ServerOptions* options = nullptr;  // must outlive the application
};

class CorvaneApplication : public HandlerContext {
public:
    CorvaneApplication(std::unique_ptr<InputInjector> input,
                       std::unique_ptr<AutomationHost> automation,
                       ServiceEndpoints endpoints = {});
    ~CorvaneApplication() override;

    // Start-up, in order: settings defaults, log, hardware address, password, presentation
    // worker, computer name, pointer factors, service, autostart, version line. Main thread.
    void Initialize();
    // Orderly end: service, worker, held keys and buttons released, the settings written at
    // exit, system cursors. Main thread. The worker gets kWorkerStopLimitMs to finish the
    // request in hand; see ThreadsLeftBehind.
    void Shutdown();
    static constexpr int kWorkerStopLimitMs = 3000;
    // True once a stop had to leave a thread behind: the presentation worker stuck in a call
    // into a hung presentation program, or a phone connection's thread that did not end. That
    // thread still uses this object and what it owns: the caller must then never destroy it
    // (the program leaks it on purpose and ends).
    bool ThreadsLeftBehind() const { return threadsLeftBehind_; }

    // (Re)creates the service with the current password; 0 when it runs, -1 otherwise.
    int StartService();
    void StopService();
    bool ServiceRunning() const;
    // The settings page's service button: stops a running service, else starts one; returns
    // whether a service runs now. Main thread.
    bool ToggleService();

    // The settings the user edits. Each change is stored at once; a new password applies to
    // the next login of a running service. Main thread.
    void ChangeComputerName(const std::string& name);
    void ChangePassword(const std::string& password);
    std::string Password() const;
    // Whether the password field masks its text ("bHidePasswd" is exactly "yes"); the change
    // is stored at once. Main thread.
    bool PasswordHidden() const;
    void ChangePasswordHidden(bool hidden);
    // Sets the factors as the sliders would (clamped to 0..100); stored at exit.
    void SetFactors(int horizontal, int vertical);
    // Applies and stores the autostart choice; returns the state in force. May block the main
    // thread (a message box on Windows), so start-up runs it after the service is up.
    virtual bool ChangeAutoStart(bool enabled);
    // The autostart state in force since start-up or the last change. Main thread.
    bool AutoStartOn() const { return autoStartOn_; }

    // Whether the main window may be shown (recorded as "ShowMain" at exit).
    int ShowFlag = 0;
    // The about page's version line: "Version:  1.52".
    static std::string VersionLine(const char* label = "Version");

    AutomationHost& automation() { return *automation_; }

protected:
    // Called every few milliseconds while Shutdown waits for the worker (main thread). The
    // Windows program answers the messages sent to its windows here: the worker's cursor
    // restore broadcasts to them and would otherwise wait for this very thread.
    virtual void AnswerSentMessages() {}

private:
    const ServiceEndpoints endpoints_;
    SettingsStartFailureCounter startFailures_;
    std::unique_ptr<InputInjector> input_;
    std::unique_ptr<AutomationHost> automation_;
    std::unique_ptr<PresentationWorker> worker_;
    std::shared_ptr<ControlServer> service_;
    mutable std::mutex passwordLock_;
    std::string password_;
    bool autoStartOn_ = false;
    bool initialized_ = false;
    bool shutDown_ = false;
    bool threadsLeftBehind_ = false;
};

// The hardware address phones see: the first adapter with a non-zero six-byte address, or
// 00-00-00-00-00-00 when there is none.
std::string FirstHardwareAddress();

// The log file: beside the executable and named after it, or "CorvaneServer.log" in the user's
// state folder when the program is installed (see ProgramDataPlaces); empty when the system
// cannot tell. Any thread.
std::string LogFilePath();
