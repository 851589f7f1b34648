// The real CorvaneServer.exe driven by the phone client against a stand-in presentation program:
// server/fake_powerpoint.exe, an out-of-process COM automation server registered in the Wine
// prefix under the program's class name for the time of each case.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "desktop.h"
#include "phone_client.h"
#include "platform/socket.h"

#ifndef CORVANE_PROGRAM
#error "CORVANE_PROGRAM must name the built CorvaneServer.exe"
#endif
#ifndef FAKE_POWERPOINT
#error "FAKE_POWERPOINT must name the built fake_powerpoint.exe"
#endif

namespace {

constexpr std::uint16_t kPort = 33589;
constexpr int kShutdownCommand = 32773;

class Process {
public:
    Process(const std::string& exe, const std::string& arguments, const std::string& output) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE out = INVALID_HANDLE_VALUE;
        if (!output.empty()) {
            out = CreateFileA(output.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
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
        std::string command = "\"" + exe + "\" " + arguments;
        started_ = CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &startup, &process_) != FALSE;
        if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    }
    ~Process() { Kill(); }
    void Kill() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        started_ = false;
    }
    bool Started() const { return started_; }
    DWORD Id() const { return process_.dwProcessId; }
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

std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The stand-in's last reported state: "key=value" words.
std::map<std::string, std::string> ParseState(const std::string& text) {
    std::map<std::string, std::string> state;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        auto equals = word.find('=');
        if (equals != std::string::npos) state[word.substr(0, equals)] = word.substr(equals + 1);
    }
    return state;
}

class ComServerTest : public ::testing::Test {
    friend struct ComServerTestAccess;

protected:
    void SetUp() override {
        ASSERT_EQ(SocketLibraryStartup(), 0);
        if (PhoneClient(kPort).Connected()) {
            GTEST_SKIP() << "another program already listens on 127.0.0.1:" << kPort;
        }
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        folder_ = std::string(temp) + "corvane-com-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder_.c_str(), nullptr);
        exe_ = folder_ + "\\CorvaneServer.exe";
        ASSERT_TRUE(CopyFileA(WindowsPathFor(CORVANE_PROGRAM).c_str(), exe_.c_str(), FALSE));
        fake_ = WindowsPathFor(FAKE_POWERPOINT);
        output_ = folder_ + "\\output.txt";
        state_ = folder_ + "\\state.txt";
        SetEnvironmentVariableA("FAKE_PPT_STATE", state_.c_str());
        ASSERT_TRUE(registered_) << "the stand-in's registration failed";
    }
    void TearDown() override {
        for (const char* name : {"CorvaneServer.exe", "CorvaneServer.ini", "CorvaneServer.log",
                                 "output.txt", "state.txt", "state.txt.fail", "state.txt.hang",
                                 "state.txt.exit", "state.txt.crash", "control.tmp"}) {
            DeleteFileA((folder_ + "\\" + name).c_str());
        }
        RemoveDirectoryA(folder_.c_str());
        RegDeleteKeyValueA(HKEY_CURRENT_USER, "software\\microsoft\\windows\\currentversion\\Run",
                           "VolaServer");
    }

    std::map<std::string, std::string> State() { return ParseState(ReadFileText(state_)); }

    // Gives the stand-in an order through the file state.txt<suffix>. Written beside and then
    // moved in place: the stand-in reads the file on every call, and must never see it empty
    // or half written.
    void Order(const std::string& suffix, const std::string& text) {
        const std::string temporary = folder_ + "\\control.tmp";
        std::ofstream(temporary, std::ios::binary) << text;
        // Refused while the stand-in has the old order open to read it: until it is done.
        ASSERT_TRUE(WaitUntil(
            [&] {
                return MoveFileExA(temporary.c_str(), (state_ + suffix).c_str(),
                                   MOVEFILE_REPLACE_EXISTING) != FALSE;
            },
            10000));
    }

    // How often `text` occurs in the program's output.
    size_t OutputCount(const std::string& text) {
        const std::string output = ReadFileText(output_);
        size_t count = 0;
        for (size_t at = output.find(text); at != std::string::npos;
             at = output.find(text, at + text.size())) {
            ++count;
        }
        return count;
    }

    // Waits until the stand-in reports `key` as `value`.
    bool WaitState(const char* key, const std::string& value, int timeoutMs = 15000) {
        return WaitUntil([&] { return State()[key] == value; }, timeoutMs);
    }

    bool StartFake(std::unique_ptr<Process>* fake) {
        DeleteFileA(state_.c_str());
        *fake = std::make_unique<Process>(fake_, "", "");
        return (*fake)->Started() && WaitState("last", "started", 30000);
    }

    HWND WaitUntilServing(const Process& program) {
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

    // Asks until the answer is `expected` (the program reads the show only after a second
    // without requests, later on a busy machine) or the time is up; the last answer.
    std::string Query(PhoneClient& phone, const std::string& topic, const std::string& expected,
                      int timeoutMs = 15000) {
        std::string answer;
        WaitUntil(
            [&] {
                if (!phone.SendLine("QueryInfo:" + topic)) {
                    answer = "<send failed>";
                    return true;
                }
                answer = phone.ReadLine(5000);
                if (answer == expected) return true;
                Pump(100);
                return false;
            },
            timeoutMs);
        return answer;
    }

    void Shutdown(Process& program, HWND window) {
        PostMessageA(window, WM_COMMAND, kShutdownCommand, 0);
        EXPECT_EQ(program.WaitExit(30000), 0u);
    }

    // The stand-in ends through its exit file, so it leaves the running-object table.
    void EndFake(std::unique_ptr<Process>* fake) {
        if (!*fake) return;
        std::ofstream(state_ + ".exit") << "exit\n";
        (*fake)->WaitExit(10000);
        fake->reset();
        DeleteFileA((state_ + ".exit").c_str());
    }

    // The registration is made once for the whole program, in a folder of its own.
    static void SetUpTestSuite() {
        if (registered_) return;
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        libraryFolder_ =
            std::string(temp) + "corvane-com-lib-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(libraryFolder_.c_str(), nullptr);
        Process reg(WindowsPathFor(FAKE_POWERPOINT), "/register \"" + libraryFolder_ + "\"", "");
        registered_ = reg.Started() && reg.WaitExit(60000) == 0;
    }

    std::string folder_, exe_, fake_, output_, state_;
    static inline bool registered_ = false;
    static inline std::string libraryFolder_;
};

struct ComServerTestAccess {
    static bool Registered() { return ComServerTest::registered_; }
    static const std::string& Folder() { return ComServerTest::libraryFolder_; }
};

// Removes the registration when the program ends.
class Unregister : public ::testing::Environment {
public:
    void TearDown() override {
        if (!ComServerTestAccess::Registered()) return;
        Process unreg(WindowsPathFor(FAKE_POWERPOINT),
                      "/unregister \"" + ComServerTestAccess::Folder() + "\"", "");
        unreg.WaitExit(60000);
        RemoveDirectoryA(ComServerTestAccess::Folder().c_str());
    }
};

}  // namespace

const auto* const kUnregister = ::testing::AddGlobalTestEnvironment(new Unregister);

TEST_F(ComServerTest, NextPageStartsTheShowAtTheSelectedSlide) {
    std::unique_ptr<Process> fake;
    ASSERT_TRUE(StartFake(&fake)) << ReadFileText(state_);
    Process program(exe_, "", output_);
    ASSERT_TRUE(program.Started());
    HWND window = WaitUntilServing(program);
    ASSERT_NE(window, nullptr);
    PhoneClient phone(kPort);
    ASSERT_TRUE(phone.Connected());
    ASSERT_EQ(phone.Login("id-1,Tester", "735"), "Login:OK\n");

    ASSERT_TRUE(phone.SendLine("PptNextPage:"));
    EXPECT_TRUE(WaitState("running", "1")) << ReadFileText(state_) << ReadFileText(output_);
    EXPECT_TRUE(WaitState("position", "3")) << ReadFileText(state_);
    EXPECT_EQ(Query(phone, "PptCurPage", "QueryInfo:PptCurPage,3,8\n"),
              "QueryInfo:PptCurPage,3,8\n");
    auto state = State();
    EXPECT_NE(state["width"], "0");
    const std::string size =
        "QueryInfo:PptViewSize," + state["width"] + "," + state["height"] + "\n";
    EXPECT_EQ(Query(phone, "PptViewSize", size), size);
    Shutdown(program, window);
    EndFake(&fake);
}

TEST_F(ComServerTest, AFailingMemberIsLoggedWithItsErrorInformation) {
    std::unique_ptr<Process> fake;
    ASSERT_TRUE(StartFake(&fake)) << ReadFileText(state_);
    Process program(exe_, "", output_);
    ASSERT_TRUE(program.Started());
    HWND window = WaitUntilServing(program);
    ASSERT_NE(window, nullptr);
    PhoneClient phone(kPort);
    ASSERT_TRUE(phone.Connected());
    ASSERT_EQ(phone.Login("id-1,Tester", "735"), "Login:OK\n");

    // Without a presentation each next request ends with a failed start of the show, after
    // every call of it; the worker's idle refresh never tries to start one. So one more such
    // line means the request is done, and the next order cannot reach it.
    const std::string runFailed = "msi_ppt::Run(): HR=";

    // The failure as an exception record of the call.
    size_t runs = OutputCount(runFailed);
    Order(".fail", "ActivePresentation\n");
    ASSERT_TRUE(phone.SendLine("PptNextPage:"));
    const std::string recorded = ",HR=80048240,Told to fail.; <FakePowerPoint>";
    EXPECT_TRUE(WaitUntil([&] { return OutputCount(runFailed) > runs; }, 15000))
        << ReadFileText(output_);
    EXPECT_NE(ReadFileText(output_).find(recorded), std::string::npos) << ReadFileText(output_);
    EXPECT_EQ(State()["running"], "0");

    // The program answered: no fresh connection is tried.
    EXPECT_EQ(ReadFileText(output_).find("ActivePresentation(): 0,"), std::string::npos)
        << ReadFileText(output_);

    // The failure as the bare code with the thread's error object. Under Wine that object does
    // not reach a caller in another process, so only the code is checked here.
    const size_t before = ReadFileText(output_).size();
    runs = OutputCount(runFailed);
    Order(".fail", "ActivePresentation plain\n");
    ASSERT_TRUE(phone.SendLine("PptNextPage:"));
    EXPECT_TRUE(WaitUntil([&] { return OutputCount(runFailed) > runs; }, 15000))
        << ReadFileText(output_);
    EXPECT_NE(ReadFileText(output_).find(",HR=80048240,", before), std::string::npos)
        << ReadFileText(output_);
    EXPECT_EQ(State()["running"], "0");

    DeleteFileA((state_ + ".fail").c_str());
    ASSERT_TRUE(phone.SendLine("PptNextPage:"));
    EXPECT_TRUE(WaitState("position", "3")) << ReadFileText(state_) << ReadFileText(output_);
    Shutdown(program, window);
    EndFake(&fake);
}

class ShowRunning : public ComServerTest {
protected:
    void SetUp() override {
        ComServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(StartFake(&fake_process_)) << ReadFileText(state_);
        // Shutdowns are timed here: without Wine's waits for a window manager.
        unmanaged_ = std::make_unique<UnmanagedWindows>("CorvaneServer.exe");
        trayStaysShown_ = std::make_unique<TrayIconOfOurOwn>();
        program_ = std::make_unique<Process>(exe_, "", output_);
        ASSERT_TRUE(program_->Started());
        window_ = WaitUntilServing(*program_);
        ASSERT_NE(window_, nullptr);
        phone_ = std::make_unique<PhoneClient>(kPort);
        ASSERT_TRUE(phone_->Connected());
        ASSERT_EQ(phone_->Login("id-1,Tester", "735"), "Login:OK\n");
        ASSERT_TRUE(phone_->SendLine("PptNextPage:"));
        ASSERT_TRUE(WaitState("position", "3")) << ReadFileText(state_) << ReadFileText(output_);
    }
    void TearDown() override {
        phone_.reset();
        if (program_ && window_) Shutdown(*program_, window_);
        program_.reset();
        trayStaysShown_.reset();
        unmanaged_.reset();
        EndFake(&fake_process_);
        ComServerTest::TearDown();
    }
    bool Send(const std::string& line) { return phone_->SendLine(line); }

    std::unique_ptr<UnmanagedWindows> unmanaged_;
    std::unique_ptr<TrayIconOfOurOwn> trayStaysShown_;
    std::unique_ptr<Process> fake_process_, program_;
    std::unique_ptr<PhoneClient> phone_;
    HWND window_ = nullptr;
};

TEST_F(ShowRunning, NextPreviousAndGoToWithClamping) {
    ASSERT_TRUE(Send("PptNextPage:"));
    EXPECT_TRUE(WaitState("position", "4")) << ReadFileText(state_);
    EXPECT_EQ(Query(*phone_, "PptCurPage", "QueryInfo:PptCurPage,4,8\n"),
              "QueryInfo:PptCurPage,4,8\n");
    ASSERT_TRUE(Send("PptPrevPage:"));
    EXPECT_TRUE(WaitState("position", "3")) << ReadFileText(state_);
    ASSERT_TRUE(Send("PptGotoPage:20"));
    EXPECT_TRUE(WaitState("position", "8")) << ReadFileText(state_);
    EXPECT_EQ(Query(*phone_, "PptCurPage", "QueryInfo:PptCurPage,8,8\n"),
              "QueryInfo:PptCurPage,8,8\n");
    ASSERT_TRUE(Send("PptGotoPage:0"));
    EXPECT_TRUE(WaitState("position", "1")) << ReadFileText(state_);
    ASSERT_TRUE(Send("PptGotoPage:5"));
    EXPECT_TRUE(WaitState("position", "5")) << ReadFileText(state_);
    ASSERT_TRUE(Send("PptGotoPage:8"));
    EXPECT_TRUE(WaitState("position", "8")) << ReadFileText(state_);
    // One past the last slide is the end screen, which the show cannot be sent to.
    ASSERT_TRUE(Send("PptGotoPage:2"));
    EXPECT_TRUE(WaitState("position", "2")) << ReadFileText(state_);
    ASSERT_TRUE(Send("PptGotoPage:9"));
    EXPECT_TRUE(WaitState("position", "8")) << ReadFileText(state_);
    // Next on the last slide ends the show.
    ASSERT_TRUE(Send("PptNextPage:"));
    EXPECT_TRUE(WaitState("running", "0")) << ReadFileText(state_);
    EXPECT_EQ(State()["last"], "Exit");
}

TEST_F(ShowRunning, BlackScreenBackAndPenWithColour) {
    ASSERT_TRUE(Send("PptChangeState:3"));
    EXPECT_TRUE(WaitState("state", "3")) << ReadFileText(state_);
    ASSERT_TRUE(Send("PptChangeState:0"));
    // The click on the show's window brings it back; then the arrow pointer.
    EXPECT_TRUE(WaitState("state", "1")) << ReadFileText(state_) << ReadFileText(output_);
    EXPECT_TRUE(WaitState("pointer", "1")) << ReadFileText(state_);
    ASSERT_TRUE(Send("PptChangeState:1,255"));
    EXPECT_TRUE(WaitState("pointer", "2")) << ReadFileText(state_);
    EXPECT_EQ(State()["color"], "255");
    ASSERT_TRUE(Send("PptQuit:"));
    EXPECT_TRUE(WaitState("running", "0")) << ReadFileText(state_);
    EXPECT_EQ(State()["last"], "Exit");
    // With no show the request presses Escape instead: the stand-in sees no call to end one.
    ASSERT_TRUE(Send("PptQuit:"));
    Pump(2500);
    EXPECT_EQ(State()["running"], "0");
    EXPECT_NE(State()["last"], "Exit") << ReadFileText(state_);
    EXPECT_EQ(program_->WaitExit(0), STILL_ACTIVE);
}

TEST_F(ShowRunning, AServerGoneBetweenRequestsIsConnectedAfreshOnce) {
    const std::string firstPid = State()["pid"];
    // The server process ends abruptly, leaving the program's references dangling.
    std::ofstream(state_ + ".crash") << "crash\n";
    EXPECT_EQ(fake_process_->WaitExit(10000), 3u);
    DeleteFileA((state_ + ".crash").c_str());
    ASSERT_TRUE(StartFake(&fake_process_)) << ReadFileText(state_);
    ASSERT_NE(State()["pid"], firstPid);
    ASSERT_TRUE(Send("PptNextPage:"));
    // The fresh server had no show: the request starts one at the selected slide.
    EXPECT_TRUE(WaitState("position", "3", 30000)) << ReadFileText(state_) << ReadFileText(output_);
    EXPECT_TRUE(WaitState("running", "1")) << ReadFileText(state_);
    const std::string output = ReadFileText(output_);
    EXPECT_NE(output.find("msi_ppt::ActivePresentation(): 0,HR="), std::string::npos) << output;
}

TEST_F(ShowRunning, AHungPresentationProgramDoesNotHoldUpTheShutdown) {
    Order(".hang", "Next\n");
    ASSERT_TRUE(Send("PptNextPage:"));
    ASSERT_TRUE(WaitState("held", "hang:Next")) << ReadFileText(state_);
    const ULONGLONG start = GetTickCount64();
    PostMessageA(window_, WM_COMMAND, kShutdownCommand, 0);
    EXPECT_EQ(program_->WaitExit(30000), 0u) << ReadFileText(output_);
    // A few seconds: the worker's three and what the rest of the shutdown takes.
    EXPECT_LT(GetTickCount64() - start, 5000u);
    EXPECT_NE(ReadFileText(output_).find("The presentation program did not return within 3000 ms; "
                                         "its worker is left behind."),
              std::string::npos)
        << ReadFileText(output_);
    window_ = nullptr;                        // already shut down
    EXPECT_EQ(State()["last"], "hang:Next");  // still hanging: nothing waited for it
}

TEST_F(ShowRunning, AShutdownWaitsForASlowCallAndTheCursorRestoreAfterIt) {
    // The pen cursor is shown; then a request that is slow in one call and afterwards puts the
    // normal cursors back (a settings broadcast to every window, the program's own included)
    // while the shutdown waits for the worker. A slow program is waited for, not left behind.
    // (Wine's broadcast does not wait for the windows; wine_ui_tests checks that the window
    // answers while the shutdown waits.)
    ASSERT_TRUE(Send("PptPreDraw:"));
    EXPECT_TRUE(WaitUntil([&] { return OutputCount("Pre Draw.") > 0; }, 15000))
        << ReadFileText(output_);
    Order(".hang", "SlideIndex 1500\n");
    ASSERT_TRUE(Send("PptExplorer:"));
    ASSERT_TRUE(WaitState("held", "slow:SlideIndex")) << ReadFileText(state_);
    PostMessageA(window_, WM_COMMAND, kShutdownCommand, 0);
    EXPECT_EQ(program_->WaitExit(30000), 0u) << ReadFileText(output_);
    window_ = nullptr;
    EXPECT_EQ(ReadFileText(output_).find("did not return within"), std::string::npos)
        << ReadFileText(output_);
    EXPECT_EQ(State()["pointer"], "1") << ReadFileText(state_);
}
