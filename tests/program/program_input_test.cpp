// The real Linux program's input on an X display: pointer moves, typed keys, and the keys that
// stand in for presentation commands when no presentation program can be automated.
#include "x11_fixture.h"  // before Xlib's macros meet GoogleTest

#include <X11/extensions/XTest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "netns_fixture.h"
#include "phone_client.h"
#include "program_process.h"

namespace {

using Clock = std::chrono::steady_clock;

// UTF-8 of one code point beyond U+FFFF.
std::string Utf8Astral(char32_t c) {
    return {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
            static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
}

class ProgramInputTest : public NetnsDiscovery {
protected:
    void TearDown() override {
        NetnsDiscovery::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        // A failed case must not leave the shared display with keys or buttons down.
        std::string display = SharedDisplayName();
        if (Display* x = display.empty() ? nullptr : XOpenDisplay(display.c_str())) {
            for (int code : KeysDown(x)) XTestFakeKeyEvent(x, code, False, CurrentTime);
            unsigned buttons = ButtonsDown(x);
            for (unsigned button = 1; button <= 5; ++button) {
                if (buttons & (Button1Mask << (button - 1)))
                    XTestFakeButtonEvent(x, button, False, CurrentTime);
            }
            XCloseDisplay(x);
        }
    }
    // The key presses and releases the window sees until `count` of them arrived.
    std::vector<std::string> Keys(TestWindow& window, size_t count) {
        std::vector<std::string> keys;
        while (keys.size() < count) {
            std::optional<SeenEvent> e = window.Next(std::chrono::seconds(5));
            if (!e) break;
            if (e->type == KeyPress || e->type == KeyRelease) keys.push_back(Describe(*e));
        }
        return keys;
    }
    std::string folder_ = testing::TempDir() + "corvane-program-input-" + std::to_string(getpid());
};

}  // namespace

TEST_F(ProgramInputTest, PointerTextAndFallbackKeysReachTheDisplay) {
    if (serverNs_.empty()) GTEST_SKIP();
    std::string display = SharedDisplayName();
    if (display.empty()) GTEST_SKIP() << "no X display (run through ctest)";
    TestWindow window(display);
    ASSERT_TRUE(window.ok());

    ProgramProcess program;
    // Without windows: a window of the program's own would take the keyboard from the test's.
    ASSERT_TRUE(program.Start(CORVANE_PROGRAM, serverNs_, folder_, display, "", {"--headless"}));
    ASSERT_TRUE(program.WaitForOutput("CorvaneServer Version:")) << program.Output();

    // Away from the screen's edges, so that the move is not cut short.
    Display* x = window.display();
    XWarpPointer(x, 0, DefaultRootWindow(x), 0, 0, 0, 0, 400, 300);
    XSync(x, False);
    auto before = window.Pointer();
    std::string error;
    ASSERT_TRUE(RunInNamespace(
        serverNs_,
        [&] {
            PhoneClient phone(33589);
            ASSERT_EQ(phone.Login("x11", "735"), "Login:OK\n");
            ASSERT_TRUE(phone.SendLine("MouseMove:30,-20"));
            ASSERT_TRUE(phone.SendLine("QueryInfo:ScreenSize"));
            int width = 0, height = 0;
            ASSERT_EQ(std::sscanf(phone.ReadLine().c_str(), "QueryInfo:ScreenSize,%d,%d", &width,
                                  &height),
                      2);
            EXPECT_EQ(width, DisplayWidth(window.display(), DefaultScreen(window.display())));
            EXPECT_EQ(height, DisplayHeight(window.display(), DefaultScreen(window.display())));
            ASSERT_TRUE(phone.SendLine("Keyboard:kc=SHIFT,ks=a"));
            ASSERT_TRUE(phone.SendLine("PptNextPage:"));
            ASSERT_TRUE(phone.SendLine("PptPrevPage:"));
            ASSERT_TRUE(phone.SendLine("PptQuit:"));
            ASSERT_TRUE(phone.SendLine("QueryInfo:PptCurPage"));
            EXPECT_EQ(phone.ReadLine(), "QueryInfo:PptCurPage,-1,-1\n");
        },
        &error))
        << error;

    // Shift held around the typed "a"; then the fallbacks of next, previous and end show,
    // each pressed and released.
    std::vector<std::string> keys = Keys(window, 10);
    EXPECT_EQ(keys,
              (std::vector<std::string>{"press Shift_L", "press a", "release a", "release Shift_L",
                                        "press Right", "release Right", "press Left",
                                        "release Left", "press Escape", "release Escape"}))
        << program.Output();
    auto after = window.Pointer();
    EXPECT_EQ(after.first - before.first, 30);
    EXPECT_EQ(after.second - before.second, -20);

    program.Signal(SIGTERM);
    int status = -2;
    ASSERT_TRUE(program.WaitExit(2000, &status));
    EXPECT_EQ(status, 0);
}

// Two phones typing characters beyond U+FFFF at the same time: each character is a surrogate
// pair, and no interleaving of the two may leave a key down or use up the spare keycodes that
// type characters missing from the keyboard map.
TEST_F(ProgramInputTest, TwoPhonesTypingPairsAtOnceLeaveNoKeyDown) {
    if (serverNs_.empty()) GTEST_SKIP();
    std::string display = SharedDisplayName();
    if (display.empty()) GTEST_SKIP() << "no X display (run through ctest)";
    ProgramProcess program;
    ASSERT_TRUE(program.Start(CORVANE_PROGRAM, serverNs_, folder_, display, "", {"--headless"}));
    ASSERT_TRUE(program.WaitForOutput("CorvaneServer Version:")) << program.Output();

    constexpr int kCharacters = 3000, kPerCommand = 100;
    auto typist = [&](const char* id, char32_t first, std::string* error) {
        RunInNamespace(
            serverNs_,
            [&] {
                PhoneClient phone(33589);
                if (phone.Login(id, "735") != "Login:OK\n") {
                    *error = std::string(id) + " could not log in";
                    return;
                }
                for (int sent = 0; sent < kCharacters; sent += kPerCommand) {
                    std::string line = "Keyboard:ks=";
                    // 96 different characters per phone, more than there are spare keycodes.
                    for (int i = sent; i < sent + kPerCommand; ++i)
                        line += Utf8Astral(first + static_cast<char32_t>(i % 96));
                    if (!phone.SendLine(line)) {
                        *error = std::string(id) + " could not send";
                        return;
                    }
                }
                // Commands of one connection are carried out in order: this answer comes
                // after the last character was typed.
                phone.SendLine("QueryInfo:Version");
                if (phone.ReadLine(60000) != "QueryInfo:Version,152\n")
                    *error = std::string(id) + " got no answer after typing";
            },
            error);
    };
    std::string errorA, errorB;
    std::thread a(typist, "phone-a", U'\U0001F600', &errorA);
    std::thread b(typist, "phone-b", U'\U0001D400', &errorB);
    a.join();
    b.join();
    ASSERT_EQ(errorA, "");
    ASSERT_EQ(errorB, "");

    TestWindow window(display);
    ASSERT_TRUE(window.ok());
    EXPECT_EQ(KeysDown(window.display()), std::vector<int>{}) << "keys left down";

    // A character that the keyboard map lacks still finds a spare keycode.
    const KeySym thai = 0x01000E01;  // U+0E01
    std::vector<KeySym> map = window.KeyboardMap();
    ASSERT_EQ(std::find(map.begin(), map.end(), thai), map.end());
    std::string error;
    ASSERT_TRUE(RunInNamespace(
        serverNs_,
        [&] {
            PhoneClient phone(33589);
            ASSERT_EQ(phone.Login("phone-c", "735"), "Login:OK\n");
            ASSERT_TRUE(phone.SendLine("Keyboard:ks=\xE0\xB8\x81"));
            ASSERT_TRUE(phone.SendLine("QueryInfo:Version"));
            EXPECT_EQ(phone.ReadLine(10000), "QueryInfo:Version,152\n");
        },
        &error))
        << error;
    std::vector<std::string> keys = Keys(window, 2);
    EXPECT_EQ(keys, (std::vector<std::string>{"press 0x1000e01", "release 0x1000e01"}));
    EXPECT_EQ(KeysDown(window.display()), std::vector<int>{});

    program.Signal(SIGTERM);
    int status = -2;
    ASSERT_TRUE(program.WaitExit(2000, &status));
    EXPECT_EQ(status, 0);
}

// A stroke begun and never ended holds the left button; the program lets go of it when it
// ends, or the presenter's next click would be a drag.
TEST_F(ProgramInputTest, AStrokeLeftOpenIsReleasedWhenTheProgramEnds) {
    if (serverNs_.empty()) GTEST_SKIP();
    std::string display = SharedDisplayName();
    if (display.empty()) GTEST_SKIP() << "no X display (run through ctest)";
    TestWindow window(display);
    ASSERT_TRUE(window.ok());
    ASSERT_EQ(ButtonsDown(window.display()), 0u);
    ProgramProcess program;
    ASSERT_TRUE(program.Start(CORVANE_PROGRAM, serverNs_, folder_, display, "", {"--headless"}));
    ASSERT_TRUE(program.WaitForOutput("CorvaneServer Version:")) << program.Output();

    std::string error;
    ASSERT_TRUE(RunInNamespace(
        serverNs_,
        [&] {
            PhoneClient phone(33589);
            ASSERT_EQ(phone.Login("pen", "735"), "Login:OK\n");
            ASSERT_TRUE(phone.SendLine("PptDrawStart:300,200"));
            ASSERT_TRUE(phone.SendLine("PptDrawLine:300,200,340,230"));
        },
        &error))
        << error;
    // No slideshow here: the points are screen positions.
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while ((ButtonsDown(window.display()) == 0 || window.Pointer() != std::make_pair(340, 230)) &&
           Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(ButtonsDown(window.display()), unsigned{Button1Mask}) << program.Output();
    EXPECT_EQ(window.Pointer(), std::make_pair(340, 230));

    program.Signal(SIGTERM);
    int status = -2;
    ASSERT_TRUE(program.WaitExit(2000, &status));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ButtonsDown(window.display()), 0u) << "the left button is still down";
}
