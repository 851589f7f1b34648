// The real Linux program with the real LibreOffice Impress: the presenter opens a deck of five
// coloured slides the usual way (`soffice --impress deck.fodp`) on a private X server, and the
// phone drives the show through the program, which runs in a network namespace of the test's
// own with the same HOME and display. What the show does is read off the screen.
#include "x11_fixture.h"  // before Xlib's macros meet GoogleTest

#include <X11/keysym.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "file_text.h"
#include "impress/impress_office.h"
#include "netns_fixture.h"
#include "phone_client.h"
#include "program_process.h"

namespace {

using std::chrono::seconds;

constexpr int kScreenWidth = 1024, kScreenHeight = 768;
// A 16:9 show on this 4:3 screen is letterboxed: black bars above and below the slide.
constexpr int kSlideTop = (kScreenHeight - kScreenWidth * 9 / 16) / 2;
constexpr std::uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF;

class ProgramImpressTest : public NetnsDiscovery {
protected:
    void SetUp() override {
        NetnsDiscovery::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!ImpressInstalled()) {
            GTEST_SKIP() << "LibreOffice Impress is not installed (scripts/deps.sh test "
                            "installs it); skipped";
        }
        if (std::string(CORVANE_OFFICE_MODULE).empty()) {
            GTEST_SKIP() << "the office module was not built (no LibreOffice SDK at configure "
                            "time); skipped";
        }
        ASSERT_TRUE(xvfb_.Start(
            -1, std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24"))
            << "Xvfb did not start";
        display_ = xvfb_.name();
        screen_ = std::make_unique<ScreenReader>(display_);
        ASSERT_TRUE(screen_->ok());
        const std::string prefix = testing::TempDir() + "corvane-impress-";
        EndOrphanedOffices(prefix);
        folder_ = prefix + std::to_string(getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name();
        home_ = folder_ + "/home";
        std::filesystem::create_directories(home_);
    }
    void TearDown() override {
        if (HasFailure() && screen_) {
            // What the screen showed, for whoever reads the failure.
            std::string picture = testing::TempDir() + "corvane-impress-" +
                                  testing::UnitTest::GetInstance()->current_test_info()->name() +
                                  ".png";
            std::string command = "import -window root -display " + display_ + " " + picture;
            if (std::system(command.c_str()) == 0)
                std::printf("screen at failure: %s\n", picture.c_str());
        }
        office_.Kill();
        program_.reset();
        screen_.reset();
        xvfb_.Stop();
        NetnsDiscovery::TearDown();
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }

    // The presenter opens the deck and waits for its window with the first slide in view.
    void OpenDeck() {
        std::string deck = folder_ + "/deck.fodp";
        ASSERT_TRUE(office_.Start(serverNs_, home_, display_, deck));
        ASSERT_TRUE(WaitFor([&] { return screen_->FindWindow("deck.fodp - LibreOffice Impress"); },
                            seconds(90)))
            << "no Impress window; office.log:\n"
            << ReadFileText(folder_ + "/office.log");
        ASSERT_TRUE(WaitFor([&] { return EditingViewShows(1); }, seconds(30)))
            << "the editing view does not show slide 1";
        // A show started while the office is still settling in stays black or hidden under
        // Xvfb (with or without this program): wait, as a presenter does, until the screen has
        // not changed for two seconds.
        std::uint64_t last = 0;
        auto since = std::chrono::steady_clock::now();
        ASSERT_TRUE(WaitFor(
            [&] {
                std::uint64_t now = screen_->Checksum();
                if (now != last) {
                    last = now;
                    since = std::chrono::steady_clock::now();
                }
                return std::chrono::steady_clock::now() - since >= seconds(2);
            },
            seconds(60)))
            << "the office's window does not settle";
    }
    // The editing view's big slide: far more points of the slide's colour than its thumbnail.
    bool EditingViewShows(int slide) {
        return screen_->CountColour(kSlideColours[slide - 1]) > 1500;
    }
    // The full-screen show, on slide `slide` (its letterbox bar black, its middle the colour).
    bool ShowShows(std::uint32_t colour) {
        return screen_->Pixel(kScreenWidth / 2, kSlideTop / 2) == kBlack &&
               Near(screen_->Pixel(kScreenWidth / 2, kScreenHeight / 2), colour, 8);
    }
    // No show on screen: where its letterbox bar would be, the editing window shows.
    bool ShowGone() { return screen_->Pixel(kScreenWidth / 2, kSlideTop / 2) != kBlack; }

    void StartProgram(const std::string& module) {
        program_ = std::make_unique<ProgramProcess>();
        program_->officeModule = module;
        // Headless: a settings window would take the keyboard from the test's window.
        ASSERT_TRUE(program_->Start(CORVANE_PROGRAM, serverNs_, folder_ + "/program", display_,
                                    home_, {"--headless"}));
        ASSERT_TRUE(program_->WaitForOutput("CorvaneServer Version:")) << program_->Output();
    }
    std::string Log() { return ReadFileText(folder_ + "/program/CorvaneServer.log"); }
    // The program with the office module, once its idle refresh has found the office.
    void StartAttachedProgram() {
        ASSERT_NO_FATAL_FAILURE(StartProgram(CORVANE_OFFICE_MODULE));
        ASSERT_TRUE(WaitAttached(1)) << program_->Output();
    }
    // The phone's next starts the show, at `slide` (the selected one), and it shows that slide.
    void StartShowAt(PhoneClient& phone, int slide) {
        ASSERT_TRUE(phone.SendLine("PptNextPage:"));
        ASSERT_TRUE(WaitPosition(phone, slide, 5));
        ASSERT_TRUE(WaitFor([&] { return ShowShows(kSlideColours[slide - 1]); }));
    }
    // Waits until the program's idle refresh has found the office (the `count`th time). A show
    // started within moments of the document's first appearance can stay black under Xvfb, so
    // the phone waits for this as a presenter would be some moments slower.
    bool WaitAttached(int count) {
        auto attachments = [&] {
            std::string log = Log();
            int found = 0;
            for (size_t at = log.find("Connected to LibreOffice"); at != std::string::npos;
                 at = log.find("Connected to LibreOffice", at + 1)) {
                ++found;
            }
            return found;
        };
        return WaitFor([&] { return attachments() >= count; }, seconds(30));
    }
    // The key presses and releases the window sees until `count` of them arrived.
    static std::vector<std::string> KeysSeen(TestWindow& window, size_t count) {
        std::vector<std::string> keys;
        while (keys.size() < count) {
            std::optional<SeenEvent> e = window.Next(seconds(20));
            if (!e) break;
            if (e->type == KeyPress || e->type == KeyRelease) keys.push_back(Describe(*e));
        }
        return keys;
    }

    // Runs the phone inside the program's namespace.
    void Phone(const std::function<void(PhoneClient&)>& body) {
        std::string error;
        ASSERT_TRUE(RunInNamespace(
            serverNs_,
            [&] {
                PhoneClient phone(33589);
                // Generous: a program built with the sanitizers starts slowly on a busy machine.
                ASSERT_TRUE(phone.SendLine("Login:impress,735"));
                ASSERT_EQ(phone.ReadLine(15000), "Login:OK\n");
                body(phone);
            },
            &error))
            << error;
    }
    static std::string Ask(PhoneClient& phone, const std::string& topic) {
        if (!phone.SendLine("QueryInfo:" + topic)) return "";
        return phone.ReadLine();
    }
    // Waits for the program's idle refresh to report the show at `position` of `count`.
    static bool WaitPosition(PhoneClient& phone, int position, int count) {
        std::string want =
            "QueryInfo:PptCurPage," + std::to_string(position) + "," + std::to_string(count) + "\n";
        std::string last;
        bool seen = WaitFor([&] { return (last = Ask(phone, "PptCurPage")) == want; });
        if (!seen) ADD_FAILURE() << "wanted " << want << "last answer " << last;
        return seen;
    }

    XvfbProcess xvfb_;
    std::string display_;
    std::unique_ptr<ScreenReader> screen_;
    std::string folder_, home_;
    ImpressProcess office_;
    std::unique_ptr<ProgramProcess> program_;
};

}  // namespace

TEST_F(ProgramImpressTest, PhoneDrivesTheShowOfTheDeckThePresenterOpened) {
    PrepareHome(home_, folder_);
    ASSERT_NO_FATAL_FAILURE(OpenDeck());
    // The presenter selects slide 2 in the editing view.
    Window editor = screen_->FindWindow("deck.fodp - LibreOffice Impress");
    screen_->PressKey(XK_Next, editor);
    ASSERT_TRUE(WaitFor([&] { return EditingViewShows(2); })) << "slide 2 not selected";
    ASSERT_NO_FATAL_FAILURE(StartAttachedProgram());

    Phone([&](PhoneClient& phone) {
        // Next starts the show at the selected slide.
        ASSERT_NO_FATAL_FAILURE(StartShowAt(phone, 2));
        // The show's window is the whole screen, and the topmost window.
        EXPECT_EQ(Ask(phone, "PptViewSize"), "QueryInfo:PptViewSize,1024,768\n");
        int x = -1, y = -1, width = 0, height = 0;
        ASSERT_TRUE(screen_->TopWindow(&x, &y, &width, &height));
        EXPECT_EQ((std::vector<int>{x, y, width, height}),
                  (std::vector<int>{0, 0, kScreenWidth, kScreenHeight}));

        // Next, previous, and go-to clamped to the deck.
        const std::pair<const char*, int> moves[] = {{"PptNextPage:", 3},  {"PptPrevPage:", 2},
                                                     {"PptGotoPage:0", 1}, {"PptGotoPage:99", 5},
                                                     {"PptGotoPage:4", 4}, {"PptNextPage:", 5}};
        for (const auto& [command, slide] : moves) {
            ASSERT_TRUE(phone.SendLine(command));
            EXPECT_TRUE(WaitPosition(phone, slide, 5)) << command;
            EXPECT_TRUE(WaitFor([&] { return ShowShows(kSlideColours[slide - 1]); })) << command;
        }

        // The presenter's own key moves past the last slide to the end screen, which reads as
        // slide count + 1; previous goes back to the last slide, next from there ends the show.
        ASSERT_TRUE(phone.SendLine("Keyboard:kc=PGDN"));
        EXPECT_TRUE(WaitPosition(phone, 6, 5));
        EXPECT_TRUE(WaitFor([&] { return ShowShows(kBlack); }));
        ASSERT_TRUE(phone.SendLine("PptPrevPage:"));
        EXPECT_TRUE(WaitPosition(phone, 5, 5));
        EXPECT_TRUE(WaitFor([&] { return ShowShows(kSlideColours[4]); }));
        ASSERT_TRUE(phone.SendLine("Keyboard:kc=PGDN"));
        EXPECT_TRUE(WaitPosition(phone, 6, 5));
        ASSERT_TRUE(phone.SendLine("PptNextPage:"));
        EXPECT_TRUE(WaitPosition(phone, -1, -1));
        EXPECT_TRUE(WaitFor([&] { return ShowGone(); })) << "the show did not end";

        // Started again, it begins at the selected slide once more; next on the last slide ends
        // it, as it does with the Windows program.
        ASSERT_TRUE(phone.SendLine("PptNextPage:"));
        EXPECT_TRUE(WaitPosition(phone, 2, 5));
        ASSERT_TRUE(phone.SendLine("PptGotoPage:5"));
        EXPECT_TRUE(WaitPosition(phone, 5, 5));
        ASSERT_TRUE(phone.SendLine("PptNextPage:"));
        EXPECT_TRUE(WaitPosition(phone, -1, -1));

        // Black screen and back, without moving the show; the presenter's own white screen
        // (W key) gives way to the phone's black screen, and that to the slide.
        ASSERT_TRUE(phone.SendLine("PptNextPage:"));
        ASSERT_TRUE(WaitPosition(phone, 2, 5));
        const int samples = (kScreenWidth / 8) * (kScreenHeight / 8);
        auto all = [&](std::uint32_t colour) { return screen_->CountColour(colour) == samples; };
        ASSERT_TRUE(phone.SendLine("PptChangeState:3"));
        EXPECT_TRUE(WaitFor([&] { return all(kBlack); })) << "no black screen";
        ASSERT_TRUE(phone.SendLine("PptChangeState:0"));
        EXPECT_TRUE(WaitFor([&] { return ShowShows(kSlideColours[1]); })) << "black stays";
        screen_->PressKey(XK_w);
        EXPECT_TRUE(WaitFor([&] { return all(kWhite); })) << "no white screen";
        ASSERT_TRUE(phone.SendLine("PptChangeState:3"));
        EXPECT_TRUE(WaitFor([&] { return all(kBlack); })) << "white stays";
        ASSERT_TRUE(phone.SendLine("PptChangeState:0"));
        EXPECT_TRUE(WaitFor([&] { return ShowShows(kSlideColours[1]); })) << "black stays";
        EXPECT_TRUE(WaitPosition(phone, 2, 5)) << "ending a blank screen moved the show";

        // The pen in the colour the phone chose (0x00BBGGRR: orange) draws the stroke. The
        // segments come at a phone's pace, each after the program has moved the pointer for
        // the one before: Impress merges pointer moves that arrive all at once.
        const std::uint32_t orange = 0xFF8000;
        ASSERT_TRUE(phone.SendLine("PptChangeState:1,33023"));
        const int x1 = 200, x2 = 700, y1 = 300, y2 = 500, step = 20;
        std::vector<std::pair<int, int>> points;
        for (int x = x1; x <= x2; x += step) points.emplace_back(x, y1);
        for (int y = y1 + step; y <= y2; y += step) points.emplace_back(x2, y);
        ASSERT_TRUE(
            phone.SendLine("PptDrawStart:" + std::to_string(x1) + "," + std::to_string(y1)));
        for (size_t i = 1; i < points.size(); ++i) {
            auto [fromX, fromY] = points[i - 1];
            auto [toX, toY] = points[i];
            std::string segment = std::to_string(fromX) + "," + std::to_string(fromY) + "," +
                                  std::to_string(toX) + "," + std::to_string(toY);
            ASSERT_TRUE(phone.SendLine("PptDrawLine:" + segment));
            ASSERT_TRUE(program_->WaitForOutput(
                "X1=" + std::to_string(fromX) + ",Y1=" + std::to_string(fromY) +
                ",X2=" + std::to_string(toX) + ",Y2=" + std::to_string(toY) + "\n"));
        }
        ASSERT_TRUE(phone.SendLine("PptDrawEnd:"));
        EXPECT_TRUE(WaitFor([&] {
            return screen_->ColourNear((x1 + x2) / 2, y1, orange) &&
                   screen_->ColourNear(x2, (y1 + y2) / 2, orange);
        })) << "no pen stroke";
        EXPECT_FALSE(screen_->ColourNear((x1 + x2) / 2, y2, orange)) << "ink where none was drawn";

        // Quit ends the show.
        ASSERT_TRUE(phone.SendLine("PptQuit:"));
        EXPECT_TRUE(WaitPosition(phone, -1, -1));
        EXPECT_TRUE(WaitFor([&] { return ShowGone(); })) << "the show did not end";
    });
    // With the office attached the program still ends as it should: at once, and cleanly.
    auto stopping = std::chrono::steady_clock::now();
    program_->Signal(SIGTERM);
    int status = -2;
    ASSERT_TRUE(program_->WaitExit(5000, &status)) << "still running 5 s after SIGTERM";
    EXPECT_EQ(status, 0) << program_->Output();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, seconds(2));
}

TEST_F(ProgramImpressTest, OfficeKilledBetweenRequestsFallsBackToKeysUntilReopened) {
    PrepareHome(home_, folder_);
    ASSERT_NO_FATAL_FAILURE(OpenDeck());
    ASSERT_NO_FATAL_FAILURE(StartAttachedProgram());
    Phone([&](PhoneClient& phone) {
        ASSERT_NO_FATAL_FAILURE(StartShowAt(phone, 1));

        office_.Kill();
        ASSERT_TRUE(WaitFor([&] { return !OfficeRunsFor(home_); })) << "the office lives on";
        {
            // Gone with the test's window, which would hide the office started below.
            TestWindow keys(display_);
            ASSERT_TRUE(keys.ok());
            ASSERT_TRUE(phone.SendLine("PptNextPage:"));
            EXPECT_EQ(KeysSeen(keys, 2), (std::vector<std::string>{"press Right", "release Right"}))
                << program_->Output();
        }
        EXPECT_TRUE(WaitPosition(phone, -1, -1));
        // The request found the office gone, said so, and no office was started for it.
        std::string log = Log();
        EXPECT_TRUE(std::regex_search(log, std::regex("HR=0x800401E3"))) << log;
        EXPECT_FALSE(OfficeRunsFor(home_));

        // The presenter opens the deck again; the next request drives the new office.
        ASSERT_NO_FATAL_FAILURE(OpenDeck());
        ASSERT_TRUE(WaitAttached(2)) << program_->Output();
        ASSERT_TRUE(phone.SendLine("PptNextPage:"));
        EXPECT_TRUE(WaitPosition(phone, 1, 5));
        EXPECT_TRUE(WaitFor([&] { return ShowShows(kSlideColours[0]); }));
        ASSERT_TRUE(phone.SendLine("PptNextPage:"));
        EXPECT_TRUE(WaitPosition(phone, 2, 5));
    });
}

TEST_F(ProgramImpressTest, OfficeThatStopsAnsweringIsCutOffAndKeysStandIn) {
    PrepareHome(home_, folder_);
    ASSERT_NO_FATAL_FAILURE(OpenDeck());
    ASSERT_NO_FATAL_FAILURE(StartAttachedProgram());
    Phone([&](PhoneClient& phone) {
        ASSERT_TRUE(phone.SendLine("PptNextPage:"));
        ASSERT_TRUE(WaitPosition(phone, 1, 5));

        office_.Freeze(true);
        {
            TestWindow keys(display_);
            ASSERT_TRUE(keys.ok());
            auto start = std::chrono::steady_clock::now();
            ASSERT_TRUE(phone.SendLine("PptNextPage:"));
            // The call that hangs is given up after a few seconds, and the key stands in.
            EXPECT_EQ(KeysSeen(keys, 2), (std::vector<std::string>{"press Right", "release Right"}))
                << program_->Output();
            EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(15));
            EXPECT_NE(Log().find("LibreOffice has not answered"), std::string::npos) << Log();
            // Requests keep being served meanwhile.
            ASSERT_TRUE(phone.SendLine("PptPrevPage:"));
            EXPECT_EQ(KeysSeen(keys, 2), (std::vector<std::string>{"press Left", "release Left"}));
        }
        // Once the office answers again, the program finds it again.
        office_.Freeze(false);
        EXPECT_TRUE(WaitAttached(2)) << program_->Output();
        ASSERT_TRUE(phone.SendLine("PptGotoPage:3"));
        EXPECT_TRUE(WaitPosition(phone, 3, 5));
    });
}

TEST_F(ProgramImpressTest, WithoutAnOfficeOrWithABrokenModuleKeysStandIn) {
    // No office runs for this user: the module loads, finds none, and never starts one.
    TestWindow keys(display_);
    ASSERT_TRUE(keys.ok());
    auto fallbacks = [&](const char* what) {
        Phone([&](PhoneClient& phone) {
            for (const char* command : {"PptNextPage:", "PptPrevPage:", "PptQuit:"}) {
                ASSERT_TRUE(phone.SendLine(command));
            }
            EXPECT_EQ(Ask(phone, "PptCurPage"), "QueryInfo:PptCurPage,-1,-1\n");
        });
        EXPECT_EQ(KeysSeen(keys, 6),
                  (std::vector<std::string>{"press Right", "release Right", "press Left",
                                            "release Left", "press Escape", "release Escape"}))
            << what << "\n"
            << program_->Output();
    };
    ASSERT_NO_FATAL_FAILURE(StartProgram(CORVANE_OFFICE_MODULE));
    fallbacks("no office");
    EXPECT_NE(Log().find("HR=0x800401E3"), std::string::npos) << Log();
    EXPECT_FALSE(OfficeRunsFor(home_));
    EXPECT_FALSE(std::filesystem::exists(home_ + "/.config/libreoffice"))
        << "an office was started";
    program_.reset();

    // A module that cannot be loaded is reported once; the program serves as without one.
    std::string broken = folder_ + "/broken-module.so";
    std::ofstream(broken) << "not a shared library";
    ASSERT_NO_FATAL_FAILURE(StartProgram(broken));
    fallbacks("broken module");
    std::string log = Log();
    EXPECT_NE(log.find("LibreOffice module not loaded"), std::string::npos) << log;
}
