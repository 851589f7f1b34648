// Runs the built corvane-remote as a separate process: plainly (output captured), behind a
// pseudo-terminal, or with its standard input on a pipe. Optionally inside a network namespace
// (through `ip netns exec`).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct ToolResult {
    int status = -1;  // exit status; -1 when killed or still running at the deadline
    std::string out, err;
};

// `ns` empty: run in the test's own namespace.
ToolResult RunTool(const std::string& ns, const std::vector<std::string>& args,
                   int timeoutMs = 30000);

// The tool running interactively. With a terminal its standard input and output are the slave
// side of a pseudo-terminal; otherwise standard input is a pipe and standard output another.
class InteractiveTool {
public:
    InteractiveTool(const std::string& ns, const std::vector<std::string>& args, bool terminal);
    ~InteractiveTool();
    InteractiveTool(const InteractiveTool&) = delete;
    InteractiveTool& operator=(const InteractiveTool&) = delete;

    bool Started() const { return pid_ > 0; }
    bool Type(const std::string& bytes);
    // Closes the tool's standard input (the end of a piped input).
    void CloseInput();
    // Waits until everything the tool wrote (standard output and standard error) holds `text`
    // at least `times` times; false after `timeoutMs`.
    bool WaitFor(const std::string& text, int timeoutMs = 5000, int times = 1);
    // Waits for the tool to end; its exit status, or -1 (then it is killed).
    int Wait(int timeoutMs = 5000);
    std::string Output();

private:
    void Pump(int timeoutMs);

    pid_t pid_ = -1;
    int input_ = -1;   // what we write: the pty master or the pipe to its standard input
    int output_ = -1;  // what we read: the pty master or the pipe from its standard output
    bool terminal_ = false;
    std::string seen_;
};

std::vector<std::string> ToolCommand(const std::string& ns, const std::vector<std::string>& args);

// How often `needle` occurs in `text`.
int Count(const std::string& text, const std::string& needle);
