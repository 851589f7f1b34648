// The real CorvaneServer.exe under Wine, copied into a fresh folder of its own: hidden start,
// the phone protocol on port 33589 over loopback, the single-instance rule and the orderly
// shutdown through the tray menu's command.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "desktop.h"
#include "phone_client.h"
#include "platform/socket.h"
#include "shell/application.h"

#ifndef CORVANE_PROGRAM
#error "CORVANE_PROGRAM must name the built CorvaneServer.exe"
#endif

namespace {

constexpr std::uint16_t kPort = 33589;
constexpr int kShutdownCommand = 32773;

class RunningProgram {
public:
    RunningProgram(const std::string& exe, const std::string& output) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE out =
            CreateFileA(output.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        &inherit, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = out;
        std::string command = "\"" + exe + "\"";
        started_ = CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &process_) != FALSE;
        CloseHandle(out);
    }
    ~RunningProgram() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    bool Started() const { return started_; }
    DWORD Id() const { return process_.dwProcessId; }
    // The exit code, or STILL_ACTIVE when it did not end within the time.
    DWORD WaitExit(int timeoutMs) {
        WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeoutMs));
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

private:
    bool started_ = false;
    PROCESS_INFORMATION process_{};
};

// The program's visible window (other than `except`) that has control `controlId`.
HWND VisibleWindowWithControl(DWORD process, int controlId, HWND except) {
    struct Search {
        DWORD process;
        int controlId;
        HWND except;
        HWND found;
    } search{process, controlId, except, nullptr};
    EnumWindows(
        [](HWND w, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner != s->process || w == s->except || !IsWindowVisible(w)) return TRUE;
            if (!GetDlgItem(w, s->controlId)) return TRUE;
            s->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string IniValue(const std::string& ini, const char* key) {
    char value[1024] = "";
    GetPrivateProfileStringA("CorvaneServer", key, "", value, sizeof value, ini.c_str());
    return value;
}

std::string RunValue() {
    char value[1024] = "";
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, "software\\microsoft\\windows\\currentversion\\Run",
                     "VolaServer", RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
        return "<none>";
    }
    return value;
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SocketLibraryStartup(), 0);
        if (PhoneClient(kPort).Connected()) {
            GTEST_SKIP() << "another program already listens on 127.0.0.1:" << kPort;
        }
        ASSERT_EQ(FindWindowA(nullptr, "CorvaneServer"), nullptr) << "a copy is running";
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        folder_ = std::string(temp) + "corvane-program-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder_.c_str(), nullptr);
        exe_ = folder_ + "\\CorvaneServer.exe";
        ASSERT_TRUE(CopyFileA(WindowsPathFor(CORVANE_PROGRAM).c_str(), exe_.c_str(), FALSE));
        ini_ = folder_ + "\\CorvaneServer.ini";
        output_ = folder_ + "\\output.txt";
    }
    void TearDown() override {
        for (const char* name :
             {"CorvaneServer.exe", "CorvaneServer.ini", "CorvaneServer.log", "output.txt"}) {
            DeleteFileA((folder_ + "\\" + name).c_str());
        }
        RemoveDirectoryA(folder_.c_str());
        RegDeleteKeyValueA(HKEY_CURRENT_USER, "software\\microsoft\\windows\\currentversion\\Run",
                           "VolaServer");
    }

    // Waits for the program's window and its listening port.
    HWND WaitUntilServing(const RunningProgram& program) {
        HWND window = nullptr;
        WaitUntil(
            [&] {
                window = FindWindowA(nullptr, "CorvaneServer");
                DWORD owner = 0;
                if (window) GetWindowThreadProcessId(window, &owner);
                return window && owner == program.Id();
            },
            60000);
        WaitUntil([] { return PhoneClient(kPort).Connected(); }, 30000);
        return window;
    }

    std::string folder_, exe_, ini_, output_;
};

}  // namespace

TEST_F(ProgramTest, StartsHiddenServesPhonesAndShutsDownInOrder) {
    RunningProgram program(exe_, output_);
    ASSERT_TRUE(program.Started());
    HWND window = WaitUntilServing(program);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));

    PhoneClient phone(kPort);
    ASSERT_TRUE(phone.Connected());
    EXPECT_EQ(phone.Login("id-1,Tester", "735"), "Login:OK\n");
    ASSERT_TRUE(phone.SendLine("QueryInfo:CmdList"));
    EXPECT_EQ(phone.ReadLine().rfind("QueryInfo:CmdList,MouseMove,", 0), 0u);

    const std::string name = IniValue(ini_, "PcName");
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(Probe(kPort, "Vola:x\n", 3000),
              "Vola:" + FirstHardwareAddress() + "," + name + ",33589\n");

    // The login notice shows in the program, with the phone's name.
    HWND popup = nullptr;
    EXPECT_TRUE(WaitUntil(
        [&] {
            popup = VisibleWindowWithControl(program.Id(), 1025, window);
            return popup != nullptr;
        },
        5000));
    if (popup) {
        EXPECT_EQ(ItemText(popup, 1025), "Tester");
        Screenshot(popup, "program-popup-en");
    }

    EXPECT_EQ(IniValue(ini_, "ShowMain"), "yes");
    EXPECT_EQ(IniValue(ini_, "Passwd"), "735");
    EXPECT_EQ(IniValue(ini_, "AutoStart"), "yes");
    EXPECT_EQ(RunValue(), exe_);
    EXPECT_EQ(IniValue(ini_, "iVert"), "");  // written at shutdown only

    PostMessageA(window, WM_COMMAND, kShutdownCommand, 0);
    EXPECT_EQ(program.WaitExit(30000), 0u);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(phone.WaitClosed(3000));
    EXPECT_FALSE(PhoneClient(kPort).Connected());
    EXPECT_EQ(IniValue(ini_, "iVert"), "50");
    EXPECT_EQ(IniValue(ini_, "iHorz"), "50");
    EXPECT_EQ(IniValue(ini_, "ShowMain"), "no");

    // Standard output works although the program has no console: the log lines reach it.
    const std::string output = ReadFileText(output_);
    EXPECT_NE(output.find("CorvaneServer Version:  1.52"), std::string::npos) << output;
}

TEST_F(ProgramTest, PeersThatSendWithoutReadingDoNotDelayTheShutdown) {
    // Timed: without Wine's waits for a window manager that is not there.
    UnmanagedWindows unmanaged("CorvaneServer.exe");
    TrayIconOfOurOwn trayStaysShown;
    RunningProgram program(exe_, output_);
    ASSERT_TRUE(program.Started());
    HWND window = WaitUntilServing(program);
    ASSERT_NE(window, nullptr);
    // Neither reads what the program answers: one logged in and asking for the longest answer,
    // one that never logs in. Each leaves the program's thread for it waiting in a send.
    PhoneClient in(kPort), out(kPort);
    ASSERT_EQ(in.Login("in,Flood", "735"), "Login:OK\n");
    EXPECT_GT(in.FloodUntilStalled("QueryInfo:CmdList"), 0);
    ASSERT_TRUE(out.Connected());
    EXPECT_GT(out.FloodUntilStalled("Login:out,wrong"), 0);

    const ULONGLONG start = GetTickCount64();
    PostMessageA(window, WM_COMMAND, kShutdownCommand, 0);
    EXPECT_EQ(program.WaitExit(30000), 0u);
    EXPECT_LT(GetTickCount64() - start, 2000u) << ReadFileText(output_);
}

TEST_F(ProgramTest, SecondStartShowsTheFirstCopyAndEndsAtOnce) {
    RunningProgram first(exe_, output_);
    ASSERT_TRUE(first.Started());
    HWND window = WaitUntilServing(first);
    ASSERT_NE(window, nullptr);
    ASSERT_FALSE(IsWindowVisible(window));
    const std::string settingsBefore = ReadFileText(ini_);

    const std::string secondOutput = folder_ + "\\second.txt";
    {
        RunningProgram second(exe_, secondOutput);
        ASSERT_TRUE(second.Started());
        EXPECT_EQ(second.WaitExit(30000), 0u);
    }
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(window) != FALSE; }, 5000));
    // The second copy touched no settings and started no service of its own.
    EXPECT_EQ(ReadFileText(ini_), settingsBefore);
    EXPECT_EQ(ReadFileText(secondOutput), "");
    DeleteFileA(secondOutput.c_str());
    Screenshot(window, "program-main-en");

    SendMessageA(window, WM_COMMAND, kShutdownCommand, 0);
    EXPECT_EQ(first.WaitExit(30000), 0u);
    EXPECT_EQ(IniValue(ini_, "ShowMain"), "yes");
    EXPECT_EQ(IniValue(ini_, "iVert"), "50");
    EXPECT_EQ(IniValue(ini_, "iHorz"), "50");
    // Once visible the window painted its shape, which it reports on standard output.
    const std::string output = ReadFileText(output_);
    EXPECT_NE(output.find("W="), std::string::npos) << output;
}
