// A program the test starts and owns: started with its standard output and error appended to a
// file (or left alone), waited for with a time-out, and ended by force if it is still running
// when the test lets go of it.
#pragma once

#include <windows.h>

#include <string>

class ChildProcess {
public:
    // Nothing started yet (see Start and Adopt).
    ChildProcess() = default;
    // Starts `exe` with the command line "<exe>" <arguments>. With `outputPath`, standard output
    // and error are appended to that file (created when missing).
    ChildProcess(const std::string& exe, const std::string& arguments = "",
                 const std::string& outputPath = "");
    ~ChildProcess() { Kill(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts a whole command line (the program found as the system finds it).
    bool Start(const std::string& commandLine);
    // Takes over a process that runs already; false when it cannot be opened.
    bool Adopt(DWORD processId);

    bool Started() const { return started_; }
    DWORD Id() const { return process_.dwProcessId; }
    // The exit code, or STILL_ACTIVE when it did not end within the time.
    DWORD WaitExit(int timeoutMs);
    // Ends it (exit code 99) if it still runs and lets go of it; Started() is false afterwards.
    void Kill();

private:
    bool started_ = false;
    PROCESS_INFORMATION process_{};
};
