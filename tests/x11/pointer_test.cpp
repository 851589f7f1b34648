// Pointer motion, buttons and the wheel, as the X server carries them out.
#include "x11_fixture.h"

#include <chrono>
#include <thread>

namespace {

using X11Pointer = X11Test;

std::vector<std::string> Clicks(unsigned button, int count) {
    std::vector<SeenEvent> events;
    for (int i = 0; i < count; ++i) {
        events.push_back(ButtonEvent(ButtonPress, button));
        events.push_back(ButtonEvent(ButtonRelease, button));
    }
    return Describe(events);
}

}  // namespace

// Each step is one XTest motion, so it shows up as exactly one motion event. Xvfb's pointer
// acceleration (2/1 beyond 4 pixels by default) does not apply to XTest relative motion, so
// the server moves by exactly what was sent.
TEST_F(X11Pointer, AbsolutePlacementAndRelativeMovesAreExact) {
    struct Step {
        bool absolute;
        int x, y;
        int expectX, expectY;
    };
    const Step steps[] = {
        {true, 300, 200, 300, 200}, {false, 37, -23, 337, 177},  {false, -5, 0, 332, 177},
        {false, 0, 11, 332, 188},   {false, 500, 400, 832, 588}, {true, 10, 700, 10, 700},
    };
    for (const Step& step : steps) {
        if (step.absolute) {
            injector_->SetCursorPosition(step.x, step.y);
        } else {
            injector_->MouseEvent(kMouseMove, step.x, step.y, 0);
        }
        injector_->Flush();
        std::optional<SeenEvent> motion = window_->Next();
        ASSERT_TRUE(motion) << "no motion event after moving by " << step.x << "," << step.y;
        EXPECT_EQ(Describe(*motion),
                  Describe(SeenEvent{MotionNotify, 0, NoSymbol, 0, step.expectX, step.expectY}));
        EXPECT_EQ(window_->Pointer(), std::make_pair(step.expectX, step.expectY));
        std::pair<int, int> reported{-1, -1};
        ASSERT_TRUE(injector_->CursorPosition(&reported.first, &reported.second));
        EXPECT_EQ(reported, std::make_pair(step.expectX, step.expectY));
    }
}

// XTest carries 16-bit coordinates: a huge value must be clamped, not wrapped round to a value
// of the other sign.
TEST_F(X11Pointer, HugeValuesKeepTheirDirection) {
    Display* display = window_->display();
    int width = DisplayWidth(display, DefaultScreen(display));
    int height = DisplayHeight(display, DefaultScreen(display));
    injector_->SetCursorPosition(width / 2, height / 2);
    injector_->MouseEvent(kMouseMove, 100000, -100000, 0);
    injector_->Flush();
    std::optional<SeenEvent> centre = window_->Next();
    std::optional<SeenEvent> corner = window_->Next();
    ASSERT_TRUE(centre && corner);
    EXPECT_EQ(std::make_pair(corner->x, corner->y), std::make_pair(width - 1, 0));

    injector_->SetCursorPosition(-50, 99999);
    injector_->Flush();
    std::optional<SeenEvent> placed = window_->Next();
    ASSERT_TRUE(placed);
    EXPECT_EQ(std::make_pair(placed->x, placed->y), std::make_pair(0, height - 1));
}

TEST_F(X11Pointer, ButtonsPressAndReleaseOnceEach) {
    injector_->SetCursorPosition(200, 150);
    for (std::uint32_t flags : {kMouseLeftDown, kMouseLeftUp, kMouseMiddleDown, kMouseMiddleUp,
                                kMouseRightDown, kMouseRightUp}) {
        injector_->MouseEvent(flags, 0, 0, 0);
    }
    injector_->Flush();
    std::vector<std::string> expected = Clicks(1, 1);
    for (unsigned button : {2u, 3u}) {
        for (const std::string& event : Clicks(button, 1)) expected.push_back(event);
    }
    EXPECT_EQ(Describe(window_->EventsUntilMarker(*injector_)), expected);
}

// Several flags in one call: the motion comes first, so the click lands at the new position.
TEST_F(X11Pointer, MotionBeforeButtonsInOneCall) {
    injector_->SetCursorPosition(400, 300);
    injector_->MouseEvent(kMouseMove | kMouseLeftDown | kMouseLeftUp, 25, -10, 0);
    injector_->Flush();
    std::vector<SeenEvent> events = window_->EventsUntilMarker(*injector_);
    ASSERT_EQ(Describe(events), Clicks(1, 1));
    EXPECT_EQ(std::make_pair(events[0].x, events[0].y), std::make_pair(425, 290));
}

// Wheel data comes in 120ths of a notch; one button 4 (away from the user) or 5 (towards)
// click per whole notch, parts kept for the next call in the same direction.
TEST_F(X11Pointer, WheelClicksPerWholeNotch) {
    injector_->SetCursorPosition(300, 300);
    struct Step {
        std::int32_t wheelData;
        std::vector<std::string> expected;
    };
    const Step steps[] = {
        {-120, Clicks(5, 1)},  // the wheel command with 10
        {-60, {}},
        {-60, Clicks(5, 1)},
        {240, Clicks(4, 2)},
        {-12, {}},
        {-12 * 9, Clicks(5, 1)},
        {60, {}},  // turning round drops the 60 towards ...
        {-60, {}},
        {-60, Clicks(5, 1)},  // ... so this is the first whole notch the other way
        {119, {}},
        {1, Clicks(4, 1)},
        {-120 * 1000, Clicks(5, WheelAccumulator::kMaxNotches)},
    };
    int index = 0;
    for (const Step& step : steps) {
        injector_->MouseEvent(kMouseWheel, 0, 0, step.wheelData);
        injector_->Flush();
        EXPECT_EQ(Describe(window_->EventsUntilMarker(*injector_)), step.expected)
            << "step " << index << ": wheel data " << step.wheelData;
        ++index;
    }
}

TEST_F(X11Pointer, ScreenSizeIsTheDefaultScreen) {
    Display* display = window_->display();
    int width = -1, height = -1;
    ASSERT_TRUE(injector_->ScreenSize(&width, &height));
    EXPECT_EQ(width, DisplayWidth(display, DefaultScreen(display)));
    EXPECT_EQ(height, DisplayHeight(display, DefaultScreen(display)));
}

// Connection threads inject at the same time: nothing may be lost or garbled on the one Xlib
// connection the injector shares between them.
TEST_F(X11Pointer, SeveralThreadsAtOnce) {
    injector_->SetCursorPosition(100, 100);
    injector_->Flush();
    ASSERT_TRUE(window_->Next());
    constexpr int kThreads = 4, kMoves = 100;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kMoves; ++i) {
                injector_->MouseEvent(kMouseMove, 1, 1, 0);
                injector_->Flush();
            }
        });
    }
    const std::uint16_t units[] = {0x00E9, 0x00DF};  // é and ß, one typing thread each
    for (std::uint16_t unit : units) {
        threads.emplace_back([&, unit] {
            for (int i = 0; i < kMoves; ++i) {
                injector_->Key(KeyRecord{0, unit, true, false});
                injector_->Key(KeyRecord{0, unit, true, true});
                injector_->Flush();
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    std::vector<SeenEvent> events = window_->EventsUntilMarker(*injector_, true);
    int motions = 0, lastX = 0, lastY = 0;
    int presses[2] = {0, 0}, releases[2] = {0, 0};
    for (const SeenEvent& event : events) {
        if (event.type == MotionNotify) {
            ++motions;
            lastX = event.x;
            lastY = event.y;
        }
        for (int i = 0; i < 2; ++i) {
            if (event.sym != units[i]) continue;
            if (event.type == KeyPress) ++presses[i];
            if (event.type == KeyRelease) ++releases[i];
        }
    }
    EXPECT_EQ(motions, kThreads * kMoves);
    EXPECT_EQ(std::make_pair(lastX, lastY),
              std::make_pair(100 + kThreads * kMoves, 100 + kThreads * kMoves));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(presses[i], kMoves) << "U+" << std::hex << units[i];
        EXPECT_EQ(releases[i], kMoves) << "U+" << std::hex << units[i];
    }
}
