// The Linux automation host: the office module it loads (a stand-in built like the real one),
// and the X11 desktop it touches for the show (window rectangles, activation, the pen in place
// of the arrow cursor), on an X server of the test's own.
#include "x11_fixture.h"  // before Xlib's macros meet GoogleTest

#include <X11/Xcursor/Xcursor.h>
#include <X11/extensions/Xfixes.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "platform/posix/automation_posix.h"
#include "platform/posix/cursor_image.h"
#include "platform/posix/office_module.h"
#include "platform/posix/uno/show_position.h"
#include "platform/posix/x11_desktop.h"
#include "presentation/msi_ppt.h"

namespace {

struct FakeOfficeState {
    bool running = false;
    int attaches = 0;
    int detaches = 0;
};

// The stand-in module's state, reached the way the host reaches its entry point.
FakeOfficeState* FakeState() {
    void* module = dlopen(CORVANE_FAKE_OFFICE_MODULE, RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr) return nullptr;
    auto state = reinterpret_cast<void* (*)()>(dlsym(module, "FakeOfficeModuleState"));
    dlclose(module);  // the host's own reference keeps it loaded
    return state != nullptr ? static_cast<FakeOfficeState*>(state()) : nullptr;
}

TEST(AutomationHostPosix, WithoutTheModuleNothingIsAutomatedAndNothingIsSaid) {
    testing::internal::CaptureStdout();
    auto host = CreatePosixAutomationHost("/nonexistent/corvane-uno.so", ":0-none");
    std::int32_t hr = 0;
    EXPECT_EQ(host->Create(kPresentationClass, &hr), nullptr);
    EXPECT_EQ(hr, kClassStringError);
    EXPECT_EQ(host->GetRunning(kPresentationClass), nullptr);
    EXPECT_EQ(DetectPresentationPrograms(*host), "none");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(AutomationHostPosix, PresentationClassReachesTheModulesOfficeAndItsErrorsCrossBack) {
    testing::internal::CaptureStdout();
    {
        auto host = CreatePosixAutomationHost(CORVANE_FAKE_OFFICE_MODULE, ":0-none");
        std::int32_t hr = 0;
        // Not running: the module's code, not a class-lookup failure.
        EXPECT_EQ(host->Create(kPresentationClass, &hr), nullptr);
        EXPECT_EQ(hr, kOfficeNotRunning);
        FakeOfficeState* state = FakeState();
        ASSERT_NE(state, nullptr);
        EXPECT_EQ(host->GetRunning(kPresentationClass), nullptr);

        state->running = true;
        // Class names are compared without regard to case; other classes never reach it.
        std::shared_ptr<_Application> app = host->Create("POWERPOINT.APPLICATION", &hr);
        ASSERT_NE(app, nullptr);
        EXPECT_EQ(hr, 0);
        EXPECT_NE(host->GetRunning(kPresentationClass), nullptr);
        EXPECT_EQ(host->Create("WPP.Application", &hr), nullptr);
        EXPECT_EQ(hr, kClassStringError);
        EXPECT_EQ(state->attaches, 4);
        // LibreOffice is neither of the programs the update form names.
        EXPECT_EQ(DetectPresentationPrograms(*host), "none");

        // An error thrown in the module is caught as the object model's error here.
        try {
            app->get_ActivePresentation();
            ADD_FAILURE() << "no error";
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.hr, kOfficeCallFailed);
            EXPECT_NE(e.AppErrorCode(), 0) << "a refused call must keep the connection";
            EXPECT_EQ(e.description, "refused by the fake office");
        }
        app.reset();
        EXPECT_EQ(state->detaches, 0);
        host.reset();
        EXPECT_EQ(state->detaches, 1);
        state->running = false;
    }
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("fake office module\n"), std::string::npos) << out;
}

TEST(AutomationHostPosix, UnusableModuleIsReportedOnceAndKeysRemain) {
    std::string path = testing::TempDir() + "corvane-broken-module-" + std::to_string(getpid());
    std::ofstream(path) << "not a shared library";
    testing::internal::CaptureStdout();
    auto host = CreatePosixAutomationHost(path, ":0-none");
    std::int32_t hr = 0;
    EXPECT_EQ(host->Create(kPresentationClass, &hr), nullptr);
    EXPECT_EQ(hr, kClassStringError);
    EXPECT_EQ(host->GetRunning(kPresentationClass), nullptr);
    std::string out = testing::internal::GetCapturedStdout();
    const std::string line = "LibreOffice module not loaded (";
    ASSERT_NE(out.find(line), std::string::npos) << out;
    EXPECT_EQ(out.find(line), out.rfind(line)) << "reported more than once:\n" << out;
    unlink(path.c_str());
}

TEST(PenCursorImage, IsTheSixteenPixelPencilWithItsPointAtTheHotSpot) {
    const CursorImage& pen = PenCursorImage();
    ASSERT_EQ(pen.width, 16);
    ASSERT_EQ(pen.height, 16);
    EXPECT_EQ(pen.hotX, 0);
    EXPECT_EQ(pen.hotY, 0);
    ASSERT_EQ(pen.pixels.size(), 256u);
    // The point is drawn at the top-left corner; the opposite corners stay clear.
    EXPECT_GT(pen.pixels[0] >> 24, 0x80u);
    EXPECT_EQ(pen.pixels[15] >> 24, 0u);
    EXPECT_EQ(pen.pixels[15 * 16] >> 24, 0u);
    // Premultiplied: no colour channel exceeds its alpha.
    for (std::uint32_t p : pen.pixels) {
        std::uint32_t a = p >> 24;
        ASSERT_LE((p >> 16) & 0xFF, a);
        ASSERT_LE((p >> 8) & 0xFF, a);
        ASSERT_LE(p & 0xFF, a);
    }
}

TEST(PenCursorImage, ReadsOnlyWholeThirtyTwoBitCursorFiles) {
    // A 2 x 2 cursor with its hot spot at (1, 0): colour rows from the bottom up, then the mask.
    std::vector<unsigned char> file = {0, 0, 2, 0, 1, 0,  // directory
                                       2, 2, 0, 0, 1, 0, 0, 0, 64, 0, 0, 0, 22, 0, 0, 0};
    unsigned char header[40] = {40, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 32, 0};
    file.insert(file.end(), header, header + 40);
    const unsigned char bottom[] = {0, 0, 255, 255, 0, 255, 0, 128};  // red, half green
    const unsigned char top[] = {255, 0, 0, 255, 0, 0, 0, 0};         // blue, clear
    file.insert(file.end(), bottom, bottom + 8);
    file.insert(file.end(), top, top + 8);
    file.insert(file.end(), 8, 0);  // mask rows
    CursorImage image;
    ASSERT_TRUE(ReadCursorFile(file.data(), file.size(), &image));
    EXPECT_EQ(image.hotX, 1);
    EXPECT_EQ(image.hotY, 0);
    EXPECT_EQ(image.pixels,
              (std::vector<std::uint32_t>{0xFF0000FF, 0x00000000, 0xFFFF0000, 0x80008000}));

    std::vector<unsigned char> cut(file.begin(), file.end() - 20);
    EXPECT_FALSE(ReadCursorFile(cut.data(), cut.size(), &image)) << "cut short";
    std::vector<unsigned char> icon = file;
    icon[2] = 1;
    EXPECT_FALSE(ReadCursorFile(icon.data(), icon.size(), &image)) << "an icon";
    std::vector<unsigned char> depth = file;
    depth[22 + 14] = 24;
    EXPECT_FALSE(ReadCursorFile(depth.data(), depth.size(), &image)) << "24 bits per pixel";
    std::vector<unsigned char> hot = file;
    hot[6 + 4] = 2;
    EXPECT_FALSE(ReadCursorFile(hot.data(), hot.size(), &image)) << "hot spot outside";
}

// How the office module reads Impress's show: a paused show on its last slide is the end screen
// unless the pause is a blank screen this program put up; blank screens read as running.
TEST(ImpressShowFacts, EndScreenBlankScreensAndColours) {
    struct Case {
        ShowFacts facts;
        std::int32_t position, state;
        bool endScreen, blank;
    } cases[] = {
        {{0, 5, false, 0}, 1, kShowRunning, false, false},
        {{4, 5, false, 0}, 5, kShowRunning, false, false},
        {{4, 5, true, 0}, 6, kShowDone, true, false},                    // end screen
        {{4, 5, true, kShowBlackScreen}, 5, kShowRunning, false, true},  // ours, last slide
        {{2, 5, true, kShowWhiteScreen}, 3, kShowRunning, false, true},  // ours
        {{2, 5, true, 0}, 3, kShowRunning, false, true},                 // the presenter's
        {{0, 1, true, 0}, 2, kShowDone, true, false},                    // one slide, ended
        {{0, 0, true, 0}, 1, kShowRunning, false, true},                 // no slides at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "index " << c.facts.index << " of " << c.facts.count
                     << (c.facts.paused ? " paused" : "") << " blank " << c.facts.ownBlank);
        EXPECT_EQ(ShowPosition(c.facts), c.position);
        EXPECT_EQ(ShowState(c.facts), c.state);
        EXPECT_EQ(OnEndScreen(c.facts), c.endScreen);
        EXPECT_EQ(BlankScreenUp(c.facts), c.blank);
    }
    // The phone's 0x00BBGGRR becomes the office's 0x00RRGGBB.
    EXPECT_EQ(OfficeColor(0x0080FF), 0xFF8000);
    EXPECT_EQ(OfficeColor(0xFF0C00), 0x000CFF);
    EXPECT_EQ(OfficeColor(0xAB123456), 0x563412);
}

// The desktop calls against a private X server.
class X11DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb_.Start()) << "Xvfb did not start";
        display_ = XOpenDisplay(xvfb_.name().c_str());
        ASSERT_NE(display_, nullptr);
        desktop_ = std::make_unique<X11Desktop>(xvfb_.name());
    }
    void TearDown() override {
        desktop_.reset();
        if (display_ != nullptr) XCloseDisplay(display_);
        xvfb_.Stop();
    }
    Window MakeWindow(Window parent, int x, int y, int width, int height) {
        Window window = XCreateSimpleWindow(display_, parent, x, y, static_cast<unsigned>(width),
                                            static_cast<unsigned>(height), 0, 0, 0);
        XMapWindow(display_, window);
        XSync(display_, False);
        return window;
    }
    Window Root() { return DefaultRootWindow(display_); }
    // Top-level windows, bottom first.
    std::vector<Window> Stacking() {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(display_, Root(), &root, &parent, &children, &count);
        std::vector<Window> order(children, children + count);
        if (children != nullptr) XFree(children);
        return order;
    }

    XvfbProcess xvfb_;
    Display* display_ = nullptr;
    std::unique_ptr<X11Desktop> desktop_;
};

TEST_F(X11DesktopTest, WindowRectIsInScreenCoordinates) {
    Window outer = MakeWindow(Root(), 100, 50, 300, 200);
    Window inner = MakeWindow(outer, 10, 20, 50, 40);
    WindowRect rect;
    ASSERT_TRUE(desktop_->WindowRect(inner, &rect));
    EXPECT_EQ((std::vector<int>{rect.left, rect.top, rect.right, rect.bottom}),
              (std::vector<int>{110, 70, 160, 110}));
    ASSERT_TRUE(desktop_->WindowRect(outer, &rect));
    EXPECT_EQ((std::vector<int>{rect.left, rect.top, rect.right, rect.bottom}),
              (std::vector<int>{100, 50, 400, 250}));
    // A window that is gone, and no window: false, and the desktop's connection lives on.
    XDestroyWindow(display_, inner);
    XSync(display_, False);
    EXPECT_FALSE(desktop_->WindowRect(inner, &rect));
    EXPECT_FALSE(desktop_->WindowRect(0, &rect));
    EXPECT_TRUE(desktop_->WindowRect(outer, &rect));
}

TEST_F(X11DesktopTest, ActivateRaisesAndFocusesOnlyWindowsOnScreen) {
    Window a = MakeWindow(Root(), 0, 0, 200, 200);
    Window b = MakeWindow(Root(), 50, 50, 200, 200);
    desktop_->Activate(a);
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    EXPECT_EQ(focus, a);
    EXPECT_EQ(Stacking().back(), a);
    desktop_->Activate(b);
    XGetInputFocus(display_, &focus, &revert);
    EXPECT_EQ(focus, b);
    EXPECT_EQ(Stacking().back(), b);
    // An unmapped window is left where it is.
    XUnmapWindow(display_, a);
    XSync(display_, False);
    desktop_->Activate(a);
    XGetInputFocus(display_, &focus, &revert);
    EXPECT_EQ(focus, b);
}

TEST_F(X11DesktopTest, PenReplacesTheThemedArrowAndTheArrowComesBack) {
    Cursor arrow = XcursorLibraryLoadCursor(display_, "left_ptr");
    if (arrow == 0) GTEST_SKIP() << "no cursor theme with left_ptr installed; skipped";
    Window window = MakeWindow(Root(), 0, 0, 300, 300);
    XDefineCursor(display_, window, arrow);
    XWarpPointer(display_, 0, window, 0, 0, 0, 0, 100, 100);
    XSync(display_, False);
    auto shown = [&] {
        XFixesCursorImage* image = XFixesGetCursorImage(display_);
        std::vector<std::uint32_t> pixels;
        if (image == nullptr) return pixels;
        pixels.push_back(image->width);
        pixels.push_back(image->height);
        pixels.push_back(image->xhot);
        pixels.push_back(image->yhot);
        for (int i = 0; i < image->width * image->height; ++i)
            pixels.push_back(static_cast<std::uint32_t>(image->pixels[i]));
        XFree(image);
        return pixels;
    };
    std::vector<std::uint32_t> before = shown();
    ASSERT_FALSE(before.empty());

    // Putting back what was never replaced changes nothing.
    desktop_->RestoreArrow();
    EXPECT_EQ(shown(), before);

    // The worker switches back and forth for every pre-draw and arrow request.
    const CursorImage& pen = PenCursorImage();
    std::vector<std::uint32_t> expected = {16, 16, 0, 0};
    expected.insert(expected.end(), pen.pixels.begin(), pen.pixels.end());
    for (int round = 1; round <= 2; ++round) {
        ASSERT_TRUE(desktop_->ReplaceArrow(pen));
        ASSERT_TRUE(desktop_->ReplaceArrow(pen));
        EXPECT_EQ(shown(), expected) << "round " << round;
        desktop_->RestoreArrow();
        EXPECT_EQ(shown(), before) << "round " << round;
    }
    XFreeCursor(display_, arrow);
}

}  // namespace
