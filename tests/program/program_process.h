// The real Linux program, copied into a folder of its own and run inside a test namespace.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class ProgramProcess {
public:
    ~ProgramProcess();
    // Copies the built program into `folder` and starts it inside network namespace `ns` with
    // HOME=`folder` (so its autostart entry stays there) and DISPLAY=`display` (may be empty),
    // with the further `environment` ("NAME=value") and command-line `arguments`.
    bool Start(const std::string& ns, const std::string& folder, const std::string& display,
               const std::vector<std::string>& environment = {},
               const std::vector<std::string>& arguments = {});
    // Waits until the output holds `text`; false after `timeoutMs`.
    bool WaitForOutput(const std::string& text, int timeoutMs = 5000);
    // Waits for the process to end; true with its exit status (-1 when killed by a signal).
    bool WaitExit(int timeoutMs, int* exitStatus);
    bool Running();
    void Signal(int signal);
    std::string Output() const;

    std::string folder;

private:
    pid_t pid_ = -1;
    std::string outputPath_;
};

// The file's whole text ("" when missing).
std::string ReadText(const std::string& path);
