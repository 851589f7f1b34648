#include "program_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

ProgramProcess::~ProgramProcess() {
    if (pid_ > 0 && Running()) {
        Signal(SIGKILL);
        int status;
        WaitExit(2000, &status);
    }
}

bool ProgramProcess::Start(const std::string& ns, const std::string& dir,
                           const std::string& display, const std::vector<std::string>& environment,
                           const std::vector<std::string>& arguments) {
    folder = dir;
    std::filesystem::create_directories(folder);
    std::string program = folder + "/CorvaneServer";
    std::error_code error;
    std::filesystem::copy_file(CORVANE_PROGRAM, program,
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error) return false;
    outputPath_ = folder + "/output.txt";
    std::vector<std::string> args = {
        "/usr/sbin/ip", "netns", "exec",           ns,
        "/usr/bin/env", "-i",    "HOME=" + folder, "PATH=/usr/bin:/bin"};
    if (!display.empty()) args.push_back("DISPLAY=" + display);
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
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        if (Output().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool ProgramProcess::WaitExit(int timeoutMs, int* exitStatus) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            pid_ = -1;
            return true;
        }
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool ProgramProcess::Running() {
    if (pid_ <= 0) return false;
    int status;
    return waitpid(pid_, &status, WNOHANG) == 0;
}

void ProgramProcess::Signal(int signal) {
    if (pid_ > 0) kill(pid_, signal);
}

std::string ProgramProcess::Output() const { return ReadText(outputPath_); }
