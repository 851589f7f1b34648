#include "tool_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "program_process.h"
#include "wait_until.h"

namespace {

[[noreturn]] void Exec(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

// Waits for `pid` until the deadline; kills it after that. Its exit status or -1.
int Reap(pid_t pid, const Deadline& deadline) {
    if (pid <= 0) return -1;
    int status = -1;
    if (WaitChildExit(pid, deadline.RemainingMs(), &status)) return status;
    if (waitpid(pid, nullptr, WNOHANG) == 0) {  // still running
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return -1;
}

}  // namespace

std::vector<std::string> ToolCommand(const std::string& ns, const std::vector<std::string>& args) {
    std::vector<std::string> command;
    if (!ns.empty()) command = {"/usr/sbin/ip", "netns", "exec", ns};
    command.push_back(CORVANE_REMOTE);
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

int Count(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size())) {
        ++n;
    }
    return n;
}

ToolResult RunTool(const std::string& ns, const std::vector<std::string>& args, int timeoutMs) {
    ToolResult result;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return result;
    std::vector<std::string> command = ToolCommand(ns, args);
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_RDONLY);
        dup2(null, 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        Exec(command);
    }
    close(out[1]);
    close(err[1]);
    Deadline deadline{std::chrono::milliseconds(timeoutMs)};
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0 && !deadline.Passed()) {
        if (poll(fds, 2, deadline.RemainingMs()) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (pollfd& p : fds) {
        if (p.fd >= 0) close(p.fd);
    }
    if (pid > 0) result.status = Reap(pid, deadline);
    return result;
}

InteractiveTool::InteractiveTool(const std::string& ns, const std::vector<std::string>& args,
                                 bool terminal)
    : terminal_(terminal) {
    std::vector<std::string> command = ToolCommand(ns, args);
    if (terminal) {
        int master = -1;
        winsize size{24, 120, 0, 0};
        pid_ = forkpty(&master, nullptr, nullptr, &size);
        if (pid_ == 0) Exec(command);
        if (pid_ < 0) return;
        fcntl(master, F_SETFD, FD_CLOEXEC);
        input_ = output_ = master;
        return;
    }
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(out[1], 2);
        Exec(command);
    }
    close(in[0]);
    close(out[1]);
    input_ = in[1];
    output_ = out[0];
}

InteractiveTool::~InteractiveTool() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        int status;
        waitpid(pid_, &status, 0);
    }
    if (input_ >= 0 && input_ != output_) close(input_);
    if (output_ >= 0) close(output_);
}

bool InteractiveTool::Type(const std::string& bytes) {
    return input_ >= 0 &&
           write(input_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

void InteractiveTool::CloseInput() {
    if (!terminal_ && input_ >= 0) {
        close(input_);
        input_ = -1;
    }
}

void InteractiveTool::Pump(int timeoutMs) {
    if (output_ < 0) return;
    pollfd p{output_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return;
    char buffer[4096];
    ssize_t n = read(output_, buffer, sizeof buffer);
    if (n > 0) {
        seen_.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EAGAIN) {
        // End of output (a pty master reports EIO once the tool has gone).
        if (input_ == output_) input_ = -1;
        close(output_);
        output_ = -1;
    }
}

bool InteractiveTool::WaitFor(const std::string& text, int timeoutMs, int times) {
    Deadline deadline{std::chrono::milliseconds(timeoutMs)};
    for (;;) {
        if (Count(seen_, text) >= times) return true;
        if (deadline.Passed() || output_ < 0) return false;
        Pump(deadline.RemainingMs());
    }
}

int InteractiveTool::Wait(int timeoutMs) {
    Deadline deadline{std::chrono::milliseconds(timeoutMs)};
    // Keep reading, so a tool that writes on its way out never blocks on a full pipe.
    while (output_ >= 0 && !deadline.Passed()) Pump(std::min(50, deadline.RemainingMs()));
    int status = Reap(pid_, deadline);
    pid_ = -1;
    return status;
}

std::string InteractiveTool::Output() {
    Pump(0);
    return seen_;
}
