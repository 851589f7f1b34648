// Without an X server the injector drops events, logs that once and keeps the process alive; a
// server that appears later is used without a restart.
#include "x11_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "wait_until.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kLost = "No X display: pointer and keyboard input is dropped.\n";
const std::string kBack = ": pointer and keyboard input works again.\n";

int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

bool DisplayInUse(int number) {
    std::string n = std::to_string(number);
    return access(("/tmp/.X11-unix/X" + n).c_str(), F_OK) == 0 ||
           access(("/tmp/.X" + n + "-lock").c_str(), F_OK) == 0;
}

// Some of everything the injector takes, over `duration`, so that several reconnection
// attempts fall into it. There is no display, so the screen size must be unknown.
void InjectWithoutDisplay(InputInjector& injector, std::chrono::milliseconds duration) {
    Clock::time_point end = Clock::now() + duration;
    do {
        injector.MouseEvent(kMouseMove | kMouseLeftDown | kMouseLeftUp | kMouseWheel, 5, 5, -240);
        injector.SetCursorPosition(10, 10);
        injector.Key(KeyRecord{kVkControl, 0, false, false});
        injector.Key(KeyRecord{0, 0xD83D, true, false});
        injector.Key(KeyRecord{0, 0xD83D, true, true});
        injector.Key(KeyRecord{0, 0xDE00, true, false});
        injector.Key(KeyRecord{0, 0xDE00, true, true});
        injector.Key(KeyRecord{kVkControl, 0, false, true});
        injector.Flush();
        int width = -1, height = -1;
        EXPECT_FALSE(injector.ScreenSize(&width, &height));
        EXPECT_EQ(width, 0);
        EXPECT_EQ(height, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (Clock::now() < end);
}

// Places the pointer through `injector` until another connection to `displayName` sees it there.
bool PlacesPointer(InputInjector& injector, const std::string& displayName, int x, int y) {
    Display* probe = XOpenDisplay(displayName.c_str());
    if (probe == nullptr) return false;
    bool placed = WaitUntil(
        [&] {
            injector.SetCursorPosition(x, y);
            injector.Flush();
            Window root = 0, child = 0;
            int rootX = -1, rootY = -1, winX = 0, winY = 0;
            unsigned mask = 0;
            XQueryPointer(probe, DefaultRootWindow(probe), &root, &child, &rootX, &rootY, &winX,
                          &winY, &mask);
            return rootX == x && rootY == y;
        },
        std::chrono::seconds(5));
    XCloseDisplay(probe);
    return placed;
}

}  // namespace

TEST(X11DisplayLoss, NoServerDropsEventsWithOneLogLine) {
    if (DisplayInUse(999)) GTEST_SKIP() << "display :999 exists here";
    X11InputOptions options;
    options.display = ":999";
    options.retryInterval = std::chrono::milliseconds(20);
    testing::internal::CaptureStdout();
    {
        std::unique_ptr<InputInjector> injector = CreateX11InputInjector(options);
        InjectWithoutDisplay(*injector, std::chrono::milliseconds(200));
    }
    std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(Count(log, kLost), 1) << log;
    EXPECT_EQ(Count(log, "\n"), 1) << log;
}

TEST(X11DisplayLoss, NoDisplayVariable) {
    const char* display = std::getenv("DISPLAY");
    std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    X11InputOptions options;
    options.retryInterval = std::chrono::milliseconds(20);
    testing::internal::CaptureStdout();
    {
        std::unique_ptr<InputInjector> injector = CreateX11InputInjector(options);
        InjectWithoutDisplay(*injector, std::chrono::milliseconds(100));
    }
    std::string log = testing::internal::GetCapturedStdout();
    if (display) setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(Count(log, kLost), 1) << log;
    EXPECT_EQ(Count(log, "\n"), 1) << log;
}

// The server dies under a live connection (Xlib's default handling would end the process here),
// stays away for a while, then a new one starts on the same display.
TEST(X11DisplayLoss, ServerGoesAwayAndComesBack) {
    // Servers of tests running beside this one take the lowest free display, which would be
    // this one's while it is away; a number far above theirs is still free for its return.
    XvfbProcess first;
    bool started = false;
    for (int number = 500 + getpid() % 400; !started && number < 1000; ++number) {
        started = !DisplayInUse(number) && first.Start(number);
    }
    if (!started) GTEST_SKIP() << "cannot start a private Xvfb";
    X11InputOptions options;
    options.display = first.name();
    options.retryInterval = std::chrono::milliseconds(50);
    testing::internal::CaptureStdout();
    std::unique_ptr<InputInjector> injector = CreateX11InputInjector(options);
    bool placed = PlacesPointer(*injector, first.name(), 100, 50);
    first.Stop();
    InjectWithoutDisplay(*injector, std::chrono::milliseconds(200));
    XvfbProcess second;
    bool restarted = second.Start(first.number());
    bool placedAgain = restarted && PlacesPointer(*injector, second.name(), 200, 100);
    int width = 0, height = 0;
    bool sized = injector->ScreenSize(&width, &height);
    injector.reset();
    std::string log = testing::internal::GetCapturedStdout();

    ASSERT_TRUE(placed) << "the injector did not work on the first server";
    ASSERT_TRUE(restarted) << "cannot start Xvfb again on " << first.name();
    EXPECT_TRUE(placedAgain) << "the injector did not take up the new server";
    EXPECT_TRUE(sized);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(640, 480));
    EXPECT_EQ(Count(log, kLost), 1) << log;
    EXPECT_EQ(Count(log, kBack), 1) << log;
    EXPECT_LT(log.find(kLost), log.find(kBack)) << log;
    EXPECT_EQ(Count(log, "\n"), 2) << log;
}
