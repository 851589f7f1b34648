// The real CorvaneServer.exe driven by the phone client against a stand-in presentation program:
// server/fake_powerpoint.exe, an out-of-process COM automation server registered in the Wine
// prefix under the program's class name for the time of each case.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "desktop.h"
#include "file_text.h"
#include "phone_client.h"
#include "program_copy_test.h"

#ifndef CORVANE_PROGRAM
#error "CORVANE_PROGRAM must name the built CorvaneServer.exe"
#endif
#ifndef FAKE_POWERPOINT
#error "FAKE_POWERPOINT must name the built fake_powerpoint.exe"
#endif

namespace {

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

class ComServerTest : public ProgramCopyTest {
    friend struct ComServerTestAccess;

protected:
    ComServerTest() : ProgramCopyTest(CORVANE_PROGRAM, "com") {}

    void SetUp() override {
        ProgramCopyTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        fake_ = WindowsPathFor(FAKE_POWERPOINT);
        state_ = folder_ + "\\state.txt";
        SetEnvironmentVariableA("FAKE_PPT_STATE", state_.c_str());
        ASSERT_TRUE(registered_) << "the stand-in's registration failed";
    }
    // Shuts the program down in order, then ends the stand-in, when the case started them.
    void TearDown() override {
        phone_.reset();
        if (program_ && window_) ShutDown();
        program_.reset();
        EndFake();
        ProgramCopyTest::TearDown();
    }

    // The stand-in's state. It replaces the file by a move, and an open that meets the move is
    // refused (a sharing violation): such a read is tried again at once.
    std::map<std::string, std::string> State() {
        std::string text;
        for (int i = 0; i < 50 && text.empty(); ++i) {
            if (i > 0) Sleep(2);
            text = ReadFileText(state_);
        }
        return ParseState(text);
    }

    // Gives the stand-in an order through the file state.txt<suffix>. Written beside and then
    // moved in place: the stand-in reads the file on every call, and must never see it empty
    // or half written.
    void Order(const std::string& suffix, const std::string& text) {
        const std::string temporary = folder_ + "\\control.tmp";
        std::ofstream(temporary, std::ios::binary) << text;
        // Refused while the stand-in has the old order open to read it: until it is done.
        ASSERT_TRUE(PumpUntil(
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
        return PumpUntil([&] { return State()[key] == value; }, timeoutMs);
    }

    // Starts the stand-in (afresh) and waits until it reports itself.
    bool StartFake() {
        DeleteFileA(state_.c_str());
        fakeProcess_ = std::make_unique<ChildProcess>(fake_);
        return fakeProcess_->Started() && WaitState("last", "started", 30000);
    }

    // The stand-in, then the program, and a phone logged in to it.
    void StartAll() {
        ASSERT_TRUE(StartFake()) << ReadFileText(state_);
        StartProgram();
        if (HasFatalFailure()) return;
        phone_ = std::make_unique<PhoneClient>(kPort);
        ASSERT_TRUE(phone_->Connected());
        ASSERT_EQ(phone_->Login("id-1,Tester", "735"), "Login:OK\n") << ReadFileText(output_);
    }

    bool Send(const std::string& line) { return phone_->SendLine(line); }

    // Asks until the answer is `expected` (the program reads the show only after a second
    // without requests, later on a busy machine) or the time is up; the last answer.
    std::string Query(const std::string& topic, const std::string& expected,
                      int timeoutMs = 15000) {
        std::string answer;
        PumpUntil(
            [&] {
                if (!phone_->SendLine("QueryInfo:" + topic)) {
                    answer = "<send failed>";
                    return true;
                }
                answer = phone_->ReadLine(5000);
                if (answer == expected) return true;
                Pump(100);
                return false;
            },
            timeoutMs);
        return answer;
    }

    // The stand-in ends through its exit file, so it leaves the running-object table.
    void EndFake() {
        if (!fakeProcess_) return;
        std::ofstream(state_ + ".exit") << "exit\n";
        fakeProcess_->WaitExit(10000);
        fakeProcess_.reset();
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
        ChildProcess reg(WindowsPathFor(FAKE_POWERPOINT), "/register \"" + libraryFolder_ + "\"");
        registered_ = reg.Started() && reg.WaitExit(60000) == 0;
    }

    std::string fake_, state_;
    std::unique_ptr<ChildProcess> fakeProcess_;
    std::unique_ptr<PhoneClient> phone_;
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
        ChildProcess unreg(WindowsPathFor(FAKE_POWERPOINT),
                           "/unregister \"" + ComServerTestAccess::Folder() + "\"");
        unreg.WaitExit(60000);
        RemoveDirectoryA(ComServerTestAccess::Folder().c_str());
    }
};

// A running show at the selected slide (3 of 8), started by the phone.
class ShowRunning : public ComServerTest {
protected:
    void SetUp() override {
        ComServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // Shutdowns are timed here: without Wine's waits for a window manager.
        unmanaged_ = std::make_unique<UnmanagedWindows>("CorvaneServer.exe");
        trayStaysShown_ = std::make_unique<TrayIconOfOurOwn>();
        StartAll();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(Send("PptNextPage:"));
        ASSERT_TRUE(WaitState("position", "3")) << ReadFileText(state_) << ReadFileText(output_);
    }
    void TearDown() override {
        ComServerTest::TearDown();
        trayStaysShown_.reset();
        unmanaged_.reset();
    }

    std::unique_ptr<UnmanagedWindows> unmanaged_;
    std::unique_ptr<TrayIconOfOurOwn> trayStaysShown_;
};

}  // namespace

const auto* const kUnregister = ::testing::AddGlobalTestEnvironment(new Unregister);

TEST_F(ComServerTest, NextPageStartsTheShowAtTheSelectedSlide) {
    StartAll();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Send("PptNextPage:"));
    EXPECT_TRUE(WaitState("running", "1")) << ReadFileText(state_) << ReadFileText(output_);
    EXPECT_TRUE(WaitState("position", "3")) << ReadFileText(state_);
    EXPECT_EQ(Query("PptCurPage", "QueryInfo:PptCurPage,3,8\n"), "QueryInfo:PptCurPage,3,8\n");
    auto state = State();
    EXPECT_NE(state["width"], "0");
    const std::string size =
        "QueryInfo:PptViewSize," + state["width"] + "," + state["height"] + "\n";
    EXPECT_EQ(Query("PptViewSize", size), size);
}

TEST_F(ComServerTest, AFailingMemberIsLoggedWithItsErrorInformation) {
    StartAll();
    if (HasFatalFailure()) return;

    // Without a presentation each next request ends with a failed start of the show, after
    // every call of it; the worker's idle refresh never tries to start one. So one more such
    // line means the request is done, and the next order cannot reach it.
    const std::string runFailed = "msi_ppt::Run(): HR=";

    // The failure as an exception record of the call.
    size_t runs = OutputCount(runFailed);
    Order(".fail", "ActivePresentation\n");
    ASSERT_TRUE(Send("PptNextPage:"));
    const std::string recorded = ",HR=80048240,Told to fail.; <FakePowerPoint>";
    EXPECT_TRUE(PumpUntil([&] { return OutputCount(runFailed) > runs; }, 15000))
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
    ASSERT_TRUE(Send("PptNextPage:"));
    EXPECT_TRUE(PumpUntil([&] { return OutputCount(runFailed) > runs; }, 15000))
        << ReadFileText(output_);
    EXPECT_NE(ReadFileText(output_).find(",HR=80048240,", before), std::string::npos)
        << ReadFileText(output_);
    EXPECT_EQ(State()["running"], "0");

    DeleteFileA((state_ + ".fail").c_str());
    ASSERT_TRUE(Send("PptNextPage:"));
    EXPECT_TRUE(WaitState("position", "3")) << ReadFileText(state_) << ReadFileText(output_);
}

TEST_F(ShowRunning, NextPreviousAndGoToWithClamping) {
    ASSERT_TRUE(Send("PptNextPage:"));
    EXPECT_TRUE(WaitState("position", "4")) << ReadFileText(state_);
    EXPECT_EQ(Query("PptCurPage", "QueryInfo:PptCurPage,4,8\n"), "QueryInfo:PptCurPage,4,8\n");
    ASSERT_TRUE(Send("PptPrevPage:"));
    EXPECT_TRUE(WaitState("position", "3")) << ReadFileText(state_);
    ASSERT_TRUE(Send("PptGotoPage:20"));
    EXPECT_TRUE(WaitState("position", "8")) << ReadFileText(state_);
    EXPECT_EQ(Query("PptCurPage", "QueryInfo:PptCurPage,8,8\n"), "QueryInfo:PptCurPage,8,8\n");
    // Slide 9 is one past the last: the end screen, which the show cannot be sent to.
    const std::pair<const char*, const char*> goTos[] = {
        {"0", "1"}, {"5", "5"}, {"8", "8"}, {"2", "2"}, {"9", "8"}};
    for (const auto& [slide, position] : goTos) {
        ASSERT_TRUE(Send(std::string("PptGotoPage:") + slide));
        EXPECT_TRUE(WaitState("position", position)) << slide << "\n" << ReadFileText(state_);
    }
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
    EXPECT_EQ(fakeProcess_->WaitExit(10000), 3u);
    DeleteFileA((state_ + ".crash").c_str());
    ASSERT_TRUE(StartFake()) << ReadFileText(state_);
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
    EXPECT_TRUE(PumpUntil([&] { return OutputCount("Pre Draw.") > 0; }, 15000))
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

namespace {

// The show runs on a projector set up as a second screen: its window does not start at (0, 0).
constexpr int kShowLeft = 320, kShowTop = 240, kShowWidth = 640, kShowHeight = 480;

class PenOnAProjector : public ShowRunning {
protected:
    void SetUp() override {
        SetEnvironmentVariableA("FAKE_PPT_SHOW_RECT",
                                (std::to_string(kShowLeft) + "," + std::to_string(kShowTop) + "," +
                                 std::to_string(kShowWidth) + "," + std::to_string(kShowHeight))
                                    .c_str());
        ShowRunning::SetUp();
    }
    void TearDown() override {
        ShowRunning::TearDown();
        SetEnvironmentVariableA("FAKE_PPT_SHOW_RECT", nullptr);
    }
    // What the left button did in the show window: "down x,y", "move x,y", "up x,y".
    std::vector<std::string> Mouse() {
        std::vector<std::string> lines;
        std::istringstream text(ReadFileText(state_ + ".mouse"));
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }
    bool WaitMouse(const std::string& line) {
        return PumpUntil(
            [&] {
                auto lines = Mouse();
                return std::find(lines.begin(), lines.end(), line) != lines.end();
            },
            15000);
    }
    static bool LeftButtonDown() { return (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0; }
};

}  // namespace

// The phone draws in the show window's own pixels: the stroke goes down at its start point and
// reaches exactly each point sent, although the window is away from (0, 0) and relative moves
// would be scaled by the pointer acceleration.
TEST_F(PenOnAProjector, StrokesLandOnTheirPointsInTheShowWindow) {
    ASSERT_TRUE(Send("PptChangeState:1,255"));
    ASSERT_TRUE(WaitState("pointer", "2")) << ReadFileText(state_);
    const std::string size = "QueryInfo:PptViewSize," + std::to_string(kShowWidth) + "," +
                             std::to_string(kShowHeight) + "\n";
    EXPECT_EQ(Query("PptViewSize", size), size);

    const std::vector<std::pair<int, int>> points = {{100, 120}, {140, 150}, {200, 150},
                                                     {260, 90},  {300, 300}, {620, 460}};
    auto text = [](std::pair<int, int> p) {
        return std::to_string(p.first) + "," + std::to_string(p.second);
    };
    ASSERT_TRUE(Send("PptDrawStart:" + text(points[0])));
    ASSERT_TRUE(WaitMouse("down " + text(points[0])))
        << ::testing::PrintToString(Mouse()) << ReadFileText(output_);
    // One segment at a time: Wine turns each pointer placement into X pointer motion as well,
    // which the show window's process reads back a little later and may report once more.
    for (size_t i = 1; i < points.size(); ++i) {
        ASSERT_TRUE(Send("PptDrawLine:" + text(points[i - 1]) + "," + text(points[i])));
        ASSERT_TRUE(WaitMouse("move " + text(points[i])))
            << ::testing::PrintToString(Mouse()) << ReadFileText(output_);
    }
    ASSERT_TRUE(Send("PptDrawEnd:"));
    ASSERT_TRUE(PumpUntil([&] { return Mouse().back().rfind("up ", 0) == 0; }, 15000))
        << ::testing::PrintToString(Mouse());

    // Every position the window saw is one of the stroke's points: nothing overshot.
    std::vector<std::string> mouse = Mouse();
    EXPECT_EQ(mouse.front(), "down " + text(points.front()));
    for (const std::string& line : mouse) {
        const std::string at = line.substr(line.find(' ') + 1);
        EXPECT_TRUE(std::any_of(points.begin(), points.end(),
                                [&](std::pair<int, int> p) { return at == text(p); }))
            << line << " is off the stroke in " << ::testing::PrintToString(mouse);
    }
    EXPECT_EQ(std::count_if(mouse.begin(), mouse.end(),
                            [](const std::string& line) { return line.rfind("down ", 0) == 0; }),
              1);
    EXPECT_FALSE(LeftButtonDown());
    EXPECT_EQ(State()["pointer"], "2");  // the end of a stroke keeps the pen
}

// A stroke begun and never ended: the program lets go of the button when it is shut down.
TEST_F(PenOnAProjector, AStrokeLeftOpenIsReleasedWhenTheProgramEnds) {
    ASSERT_TRUE(Send("PptDrawStart:50,60"));
    ASSERT_TRUE(Send("PptDrawLine:50,60,90,100"));
    ASSERT_TRUE(WaitMouse("move 90,100")) << ::testing::PrintToString(Mouse());
    EXPECT_EQ(Mouse().front(), "down 50,60");
    EXPECT_TRUE(LeftButtonDown());

    ShutDown();
    EXPECT_TRUE(WaitMouse("up 90,100")) << ::testing::PrintToString(Mouse());
    EXPECT_FALSE(LeftButtonDown());
}
