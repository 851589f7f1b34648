#include "program_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "file_text.h"
#include "wait_until.h"

bool WaitChildExit(pid_t pid, int timeoutMs, int* exitStatus) {
    bool gone = false;
    bool ended = WaitUntil(
        [&] {
            int status = 0;
            pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid) *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            gone = done < 0;
            return done != 0;
        },
        std::chrono::milliseconds(timeoutMs));
    return ended && !gone;
}

ProgramProcess::~ProgramProcess() {
    if (pid_ > 0 && Running()) {
        Signal(SIGKILL);
        int status;
        WaitExit(2000, &status);
    }
}

bool ProgramProcess::Start(const std::string& program, const std::string& ns,
                           const std::string& dir, const std::string& display,
                           const std::string& home, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& extraEnvironment) {
    folder = dir;
    std::filesystem::create_directories(folder);
    std::string copy = folder + "/CorvaneServer";
    std::error_code error;
    std::filesystem::copy_file(program, copy, std::filesystem::copy_options::overwrite_existing,
                               error);
    if (error) return false;
    if (!officeModule.empty()) {
        std::filesystem::copy_file(officeModule, folder + "/corvane-uno.so",
                                   std::filesystem::copy_options::overwrite_existing, error);
        if (error) return false;
    }
    std::vector<std::string> environment = {"HOME=" + (home.empty() ? folder : home)};
    if (!display.empty()) environment.push_back("DISPLAY=" + display);
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    return Launch(ns, copy, environment, arguments);
}

bool ProgramProcess::StartInPlace(const std::string& ns, const std::string& program,
                                  const std::string& home,
                                  const std::vector<std::string>& environment) {
    folder = home;
    std::filesystem::create_directories(folder);
    std::vector<std::string> all = {"HOME=" + home};
    all.insert(all.end(), environment.begin(), environment.end());
    return Launch(ns, program, all, {});
}

bool ProgramProcess::Launch(const std::string& ns, const std::string& program,
                            const std::vector<std::string>& environment,
                            const std::vector<std::string>& arguments) {
    outputPath_ = folder + "/output.txt";
    // An earlier run's output must not answer this run's waits.
    std::error_code ignored;
    std::filesystem::remove(outputPath_, ignored);
    std::vector<std::string> args = {"/usr/sbin/ip",      "netns", "exec", ns, "/usr/bin/env", "-i",
                                     "PATH=/usr/bin:/bin"};
    args.insert(args.end(), environment.begin(), environment.end());
    args.push_back(program);
    args.insert(args.end(), arguments.begin(), arguments.end());
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
        int out = open(outputPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return true;
}

bool ProgramProcess::WaitForOutput(const std::string& text, int timeoutMs) {
    return WaitUntil([&] { return Output().find(text) != std::string::npos; },
                     std::chrono::milliseconds(timeoutMs));
}

bool ProgramProcess::WaitExit(int timeoutMs, int* exitStatus) {
    if (pid_ <= 0 || !WaitChildExit(pid_, timeoutMs, exitStatus)) return false;
    pid_ = -1;
    return true;
}

bool ProgramProcess::Running() {
    if (pid_ <= 0) return false;
    // WNOWAIT: an ended process stays waitable, so WaitExit still gets its status.
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

void ProgramProcess::Signal(int signal) {
    if (pid_ > 0) kill(pid_, signal);
}

std::string ProgramProcess::Output() const { return ReadFileText(outputPath_); }
