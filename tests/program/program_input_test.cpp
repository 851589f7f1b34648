// The real Linux program's input on an X display: pointer moves, typed keys, and the keys that
// stand in for presentation commands when no presentation program can be automated.
#include "x11/x11_fixture.h"  // before Xlib's macros meet GoogleTest

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "integration/phone_client.h"
#include "netns/netns_fixture.h"
#include "program_process.h"

namespace {

class ProgramInputTest : public NetnsDiscovery {
protected:
    void TearDown() override {
        NetnsDiscovery::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
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
    ASSERT_TRUE(program.Start(serverNs_, folder_, display, {}, {"--headless"}));
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
