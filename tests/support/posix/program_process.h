// The real Linux program, copied into a folder of its own and run inside a test namespace.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class ProgramProcess {
public:
    ~ProgramProcess();
    // Copies `program` (the built CorvaneServer) into `folder` and starts it inside network
    // namespace `ns` with HOME=`folder` (so its autostart entry stays there, unless `home` names
    // another) and DISPLAY=`display` (may be empty), with the further `environment`
    // ("NAME=value") and command-line `arguments`.
    bool Start(const std::string& program, const std::string& ns, const std::string& folder,
               const std::string& display, const std::string& home = "",
               const std::vector<std::string>& arguments = {},
               const std::vector<std::string>& environment = {});
    // Starts `program` where it lies inside `ns`, with HOME=`home` and the extra `environment`
    // ("NAME=value"); the output goes to a file in `home`.
    bool StartInPlace(const std::string& ns, const std::string& program, const std::string& home,
                      const std::vector<std::string>& environment = {});
    // Waits until the output holds `text`; false after `timeoutMs`.
    bool WaitForOutput(const std::string& text, int timeoutMs = 5000);
    // Waits for the process to end; true with its exit status (-1 when killed by a signal).
    bool WaitExit(int timeoutMs, int* exitStatus);
    bool Running();
    void Signal(int signal);
    // Everything it wrote to standard output and error so far.
    std::string Output() const;

    std::string folder;
    // A file copied beside the program as its office module before the start (empty: none, as
    // in a build without the LibreOffice SDK).
    std::string officeModule;

private:
    bool Launch(const std::string& ns, const std::string& program,
                const std::vector<std::string>& environment,
                const std::vector<std::string>& arguments);

    pid_t pid_ = -1;
    std::string outputPath_;
};

// Waits up to `timeoutMs` for child `pid` to end; true with its exit status (-1 when a signal
// ended it). False when it still runs, or is no child of this process.
bool WaitChildExit(pid_t pid, int timeoutMs, int* exitStatus);
