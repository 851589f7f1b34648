#include "child_process.h"

ChildProcess::ChildProcess(const std::string& exe, const std::string& arguments,
                           const std::string& outputPath) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = INVALID_HANDLE_VALUE;
    if (!outputPath.empty()) {
        out = CreateFileA(outputPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          &inherit, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (out != INVALID_HANDLE_VALUE) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = out;
    }
    std::string command = "\"" + exe + "\"";
    if (!arguments.empty()) command += " " + arguments;
    started_ = CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                              nullptr, &startup, &process_) != FALSE;
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
}

bool ChildProcess::Start(const std::string& commandLine) {
    Kill();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string command = commandLine;
    started_ = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process_) != FALSE;
    return started_;
}

bool ChildProcess::Adopt(DWORD processId) {
    Kill();
    process_ = PROCESS_INFORMATION{};
    process_.hProcess = OpenProcess(
        SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, processId);
    process_.dwProcessId = processId;
    started_ = process_.hProcess != nullptr;
    return started_;
}

DWORD ChildProcess::WaitExit(int timeoutMs) {
    if (!started_) return STILL_ACTIVE;
    WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeoutMs));
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

void ChildProcess::Kill() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hProcess);
    if (process_.hThread) CloseHandle(process_.hThread);
    process_ = PROCESS_INFORMATION{};
    started_ = false;
}
