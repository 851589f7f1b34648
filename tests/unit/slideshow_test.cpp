#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "fakes/fake_presentation.h"
#include "fakes/recording_input.h"
#include "presentation/msi_ppt.h"
#include "presentation/presentation_request.h"
#include "presentation/presentation_texts.h"
#include "shell/settings_store.h"
#include "shell/start_failures.h"

using testing::ElementsAre;
using testing::HasSubstr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// Chinese messages come out in the program's narrow text: GBK on Windows, UTF-8 elsewhere;
// these checks take them from the program's own table.
namespace {

constexpr std::int32_t kAppError = static_cast<std::int32_t>(0x80048240);

class SlideshowTest : public ::testing::Test {
protected:
    void SetUp() override {
        settingsPath_ = testing::TempDir() + "slideshow_settings.ini";
        std::remove(settingsPath_.c_str());
        SetSettingsPathForTesting(settingsPath_);
        ppt_.sleep = [this](int ms) { input_.SetCursorPosition(-ms, -ms); };  // marks the pause
    }
    void TearDown() override {
        SetSettingsPathForTesting("");
        std::remove(settingsPath_.c_str());
    }
    // Runs `step` and returns what it printed (trace and log lines).
    // (Log lines lose their timestamp.)
    template <typename F>
    std::string Output(F step) {
        CaptureStdout();
        step();
        return std::regex_replace(GetCapturedStdout(),
                                  std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  )"), "");
    }
    void StartShowAt(int position) {
        show_->running = true;
        show_->showRunning = true;
        show_->position = position;
    }

    std::shared_ptr<FakeShow> show_ = std::make_shared<FakeShow>();
    FakeHost host_{show_};
    RecordingInput input_;
    SettingsStartFailureCounter startFailures_;
    msi_ppt ppt_{&host_, &input_, &startFailures_};
    std::string settingsPath_;
};

}  // namespace

TEST_F(SlideshowTest, NextAndPreviousEndTheShowAtEitherEnd) {
    StartShowAt(9);
    EXPECT_EQ(ppt_.Navigate(NavigateDirection::kNext), 1);
    EXPECT_EQ(show_->position, 10);
    std::string out = Output([&] { EXPECT_EQ(ppt_.Navigate(NavigateDirection::kNext), 1); });
    EXPECT_EQ(out, "NUM=10, Cur=10\n");
    EXPECT_FALSE(show_->showRunning);  // next on the last slide ends the show

    StartShowAt(11);  // the end screen
    EXPECT_EQ(ppt_.Navigate(NavigateDirection::kNext), 1);
    EXPECT_FALSE(show_->showRunning);

    StartShowAt(2);
    out = Output([&] { EXPECT_EQ(ppt_.Navigate(NavigateDirection::kPrevious), 1); });
    EXPECT_EQ(show_->position, 1);
    EXPECT_EQ(out, "Has Right State\n");
    EXPECT_EQ(ppt_.Navigate(NavigateDirection::kPrevious), 1);
    EXPECT_FALSE(show_->showRunning);  // previous on slide 1 ends it too
}

TEST_F(SlideshowTest, NextWithoutAShowStartsOneAtTheSelectedSlide) {
    show_->selectedSlide = 4;
    std::string out = Output([&] { EXPECT_EQ(ppt_.Navigate(NavigateDirection::kNext), 1); });
    EXPECT_TRUE(show_->showRunning);
    EXPECT_EQ(show_->position, 4);
    EXPECT_TRUE(show_->visible);
    EXPECT_THAT(out, HasSubstr(std::string(kNavigateFailedText) + "CurPos=4\n"));
    EXPECT_EQ(host_.creations, 1);
}

TEST_F(SlideshowTest, RunStartsAtSlideOneWithoutSelectionAndLeavesARunningShowAlone) {
    EXPECT_EQ(ppt_.Run(), 1);
    EXPECT_EQ(show_->position, 1);
    EXPECT_EQ(ppt_.mode, MODE_ARROW);  // the saved mode was applied to the new show
    ppt_.GotoPage(5);
    ppt_.mode = MODE_BLACK;
    show_->ClearCalls();
    std::string out = Output([&] { EXPECT_EQ(ppt_.Run(), 1); });
    EXPECT_EQ(out, "CurPos=1\n");
    EXPECT_EQ(show_->position, 5);
    EXPECT_EQ(show_->viewState, 1);  // the mode is not re-applied to a running show
    EXPECT_EQ(
        [&] {
            auto c = show_->Calls();
            return std::count(c.begin(), c.end(), "Settings.Run");
        }(),
        0);
}

TEST_F(SlideshowTest, AShowStartedInPenOrBlackModeTakesThatMode) {
    // The mode outlives a show: the next show starts in it, not in the program's arrow.
    ppt_.mode = MODE_PEN;
    ppt_.penColor = 0x0000FF;
    EXPECT_EQ(ppt_.Run(), 1);
    EXPECT_EQ(show_->pointerType, 2);
    EXPECT_EQ(show_->pointerColor, 0x0000FFu);
    EXPECT_EQ(ppt_.mode, MODE_PEN);

    show_->showRunning = false;  // ended outside the program
    ppt_.mode = MODE_BLACK;
    EXPECT_EQ(ppt_.Navigate(NavigateDirection::kNext), 1);  // no show: starts one
    EXPECT_TRUE(show_->showRunning);
    EXPECT_EQ(show_->viewState, 3);
    EXPECT_EQ(ppt_.mode, MODE_BLACK);
}

TEST_F(SlideshowTest, RunFailureIsLoggedWithItsCode) {
    show_->presentationOpen = true;
    show_->Fail("Presentation.SlideShowSettings", kAppError, 1, "no settings", "Fake");
    std::string out = Output([&] { EXPECT_EQ(ppt_.Run(), 0); });
    EXPECT_THAT(out, HasSubstr("msi_ppt::Run(): HR=0x80048240, Desc=no settings, SRC=Fake\n"));
    EXPECT_THAT(out, HasSubstr(kRunFailedText));
}

TEST_F(SlideshowTest, GotoPageClampsToTheSlides) {
    StartShowAt(3);
    EXPECT_EQ(ppt_.GotoPage(0), 1);
    EXPECT_EQ(show_->position, 1);
    EXPECT_EQ(ppt_.GotoPage(7), 1);
    EXPECT_EQ(show_->position, 7);
    EXPECT_EQ(ppt_.GotoPage(-4), 1);
    EXPECT_EQ(show_->position, 1);
    EXPECT_EQ(ppt_.GotoPage(99), 1);
    EXPECT_EQ(show_->position, 10);
    // One past the last slide is the end screen, which the program cannot go to: the last slide.
    EXPECT_EQ(ppt_.GotoPage(5), 1);
    EXPECT_EQ(ppt_.GotoPage(11), 1);
    EXPECT_EQ(show_->position, 10);
    EXPECT_EQ(show_->Calls().back(), "View.GotoSlide(10,-1)");
    show_->showRunning = false;
    EXPECT_EQ(Output([&] { EXPECT_EQ(ppt_.GotoPage(2), 0); }), "");  // silent without a show
}

TEST_F(SlideshowTest, SetStateSwitchesPointerAndScreen) {
    StartShowAt(2);
    EXPECT_EQ(Output([&] { EXPECT_EQ(ppt_.SetState(MODE_ARROW), 1); }), "Has Right State\n");
    EXPECT_TRUE(show_->Calls().empty());  // no automation call for the mode in force

    ppt_.penColor = 0x00FF00;
    EXPECT_EQ(ppt_.SetState(MODE_PEN), 1);
    EXPECT_EQ(show_->pointerType, 2);
    EXPECT_EQ(show_->pointerColor, 0x00FF00u);
    EXPECT_EQ(ppt_.showWindow, show_->window);
    // A new colour while in pen mode waits for the next switch into pen mode.
    ppt_.penColor = 0x0000FF;
    EXPECT_EQ(ppt_.SetState(MODE_PEN), 1);
    EXPECT_EQ(show_->pointerColor, 0x00FF00u);

    EXPECT_EQ(Output([&] { ppt_.SetState(MODE_PRE_DRAW); }), "Pre Draw.\n");
    EXPECT_EQ(show_->pointerType, 1);
    EXPECT_EQ(ppt_.SetState(MODE_BLACK), 1);
    EXPECT_EQ(show_->viewState, 3);
    EXPECT_EQ(show_->pointerType, 3);
    EXPECT_TRUE(input_.Input().empty());

    // Back from black: window forward, one click held for 500 ms, then the arrow.
    host_.foreground.clear();
    std::string out = Output([&] { EXPECT_EQ(ppt_.SetState(MODE_ARROW), 1); });
    EXPECT_EQ(out, "BlackScreen : Back To Running..\n");
    EXPECT_THAT(input_.Input(), ElementsAre("left down", "pos -500,-500", "left up"));
    EXPECT_EQ(show_->pointerType, 1);
    EXPECT_EQ(ppt_.mode, MODE_ARROW);
    EXPECT_EQ(host_.foreground.front(), show_->window);

    ppt_.SetState(MODE_PEN);
    EXPECT_EQ(ppt_.SetState(99), 0);  // unknown mode: pointer hidden, mode kept
    EXPECT_EQ(show_->pointerType, 3);
    EXPECT_EQ(ppt_.mode, MODE_PEN);
}

TEST_F(SlideshowTest, BlackRequestOnAWhiteScreenKeepsItWhite) {
    StartShowAt(2);
    show_->viewState = 4;
    EXPECT_EQ(ppt_.SetState(MODE_BLACK), 1);
    EXPECT_EQ(show_->viewState, 4);
    EXPECT_EQ(ppt_.mode, MODE_ARROW);
}

TEST_F(SlideshowTest, PenColourFailureDoesNotStopPenMode) {
    StartShowAt(2);
    show_->Fail("Color.RGB", kAppError);
    EXPECT_EQ(ppt_.SetState(MODE_PEN), 1);
    EXPECT_EQ(show_->pointerType, 2);
    EXPECT_EQ(ppt_.mode, MODE_PEN);
    StartShowAt(2);
    show_->Fail("View.PointerType=", kAppError);
    EXPECT_EQ(Output([&] { EXPECT_EQ(ppt_.SetState(MODE_ARROW), 0); }), "SetState Error.\n");
}

TEST_F(SlideshowTest, QuitAndQuitIfPastEnd) {
    StartShowAt(10);
    EXPECT_EQ(ppt_.QuitIfPastEnd(), 1);
    EXPECT_TRUE(show_->showRunning);  // on the last slide, not past it
    show_->position = 11;
    EXPECT_EQ(ppt_.QuitIfPastEnd(), 1);
    EXPECT_FALSE(show_->showRunning);
    EXPECT_EQ(Output([&] { EXPECT_EQ(ppt_.Quit(), 0); }), "Quit Exception.\n");
    StartShowAt(3);
    EXPECT_EQ(ppt_.Quit(), 1);
    EXPECT_FALSE(show_->showRunning);
}

TEST_F(SlideshowTest, ActivePresentationReconnectsOnceAfterALostConnection) {
    StartShowAt(2);
    ASSERT_EQ(ppt_.GotoPage(3), 1);
    EXPECT_EQ(host_.creations, 1);
    show_->CloseProgram();  // the presenter closed the program; our app object is stale
    show_->running = true;
    show_->showRunning = true;
    std::string out = Output([&] { EXPECT_EQ(ppt_.GotoPage(4), 1); });
    EXPECT_EQ(out, "msi_ppt::ActivePresentation(): 0,HR=800706BA,; <>\n");
    EXPECT_EQ(host_.creations, 2);
    EXPECT_EQ(show_->position, 4);
}

TEST_F(SlideshowTest, ActivePresentationKeepsTheProgramOnItsOwnErrors) {
    show_->running = true;
    show_->presentationOpen = false;
    std::string out = Output([&] { EXPECT_EQ(ppt_.ActivePresentation(), nullptr); });
    EXPECT_THAT(out, HasSubstr("msi_ppt::ActivePresentation(): 32832,HR=80048240,"
                               "Application.ActivePresentation : Invalid request.; "
                               "<Microsoft PowerPoint>\n"));
    EXPECT_NE(ppt_.app, nullptr);
    EXPECT_EQ(host_.creations, 1);

    // Two connection failures in one request end it; the next request may retry again.
    show_->presentationOpen = true;
    show_->Fail("App.ActivePresentation", static_cast<std::int32_t>(0x80010108), 2);
    out = Output([&] { EXPECT_EQ(ppt_.ActivePresentation(), nullptr); });
    EXPECT_EQ(out,
              "msi_ppt::ActivePresentation(): 0,HR=80010108,; <>\n"
              "msi_ppt::ActivePresentation(): 0,HR=80010108,; <>\n");
    EXPECT_EQ(ppt_.app, nullptr);
    EXPECT_NE(ppt_.ActivePresentation(), nullptr);
    EXPECT_EQ(host_.creations, 3);
}

TEST_F(SlideshowTest, CreationFailuresAreCounted) {
    show_->installed = false;
    std::string out = Output([&] { EXPECT_EQ(ppt_.InitApplication(), 0); });
    char expected[128];
    std::snprintf(expected, sizeof expected, kInitFailedFormat, 0x800401F3u);
    EXPECT_THAT(out, HasSubstr(expected));
    EXPECT_EQ(ReadSetting(kOfficeInitErrorCountKey), "1-0x800401f3");
    Output([&] { ppt_.InitApplication(); });
    EXPECT_EQ(ReadOfficeInitErrors(), "2-0x800401f3");
    for (const char* stored : {"0-0x5", "-3-0x5", "abc", ""}) {
        WriteSetting(kOfficeInitErrorCountKey, stored);
        Output([&] { ppt_.InitApplication(); });
        EXPECT_EQ(ReadSetting(kOfficeInitErrorCountKey), "1-0x800401f3") << stored;
    }
    // The count stops at the largest int instead of turning negative (and so back to 1).
    for (const char* stored : {"2147483646-0x5", "2147483647-0x5", "99999999999-0x5"}) {
        WriteSetting(kOfficeInitErrorCountKey, stored);
        Output([&] { ppt_.InitApplication(); });
        EXPECT_EQ(ReadSetting(kOfficeInitErrorCountKey), "2147483647-0x800401f3") << stored;
    }
}

TEST_F(SlideshowTest, RefreshReportsTheShowAndKeepsTheLastWindowSize) {
    EXPECT_EQ(ppt_.RefreshShowInfo(), 0);  // nothing running: never starts the program
    EXPECT_EQ(host_.creations, 0);
    EXPECT_EQ(ppt_.curPos, -1);
    StartShowAt(6);
    EXPECT_EQ(ppt_.RefreshShowInfo(), 1);
    EXPECT_EQ(ppt_.curPos, 6);
    EXPECT_EQ(ppt_.slideCount, 10);
    EXPECT_EQ(ppt_.attached, 1);
    EXPECT_EQ(ppt_.viewWidth, 1280);
    EXPECT_EQ(ppt_.viewHeight, 720);
    EXPECT_EQ(ppt_.showWindow, show_->window);
    show_->showRunning = false;  // presentation open, show ended
    EXPECT_EQ(ppt_.RefreshShowInfo(), 0);
    EXPECT_EQ(ppt_.curPos, -1);
    EXPECT_EQ(ppt_.slideCount, -1);
    EXPECT_EQ(ppt_.attached, 0);
    EXPECT_EQ(ppt_.viewWidth, 1280);
    EXPECT_EQ(ppt_.viewHeight, 720);
    EXPECT_EQ(ppt_.app, nullptr);  // the refresh never touches the application object
}

TEST_F(SlideshowTest, DetectReportsWhichProgramsAreRegistered) {
    EXPECT_EQ(DetectPresentationPrograms(host_), "ms");
    host_.wpsInstalled = true;
    EXPECT_EQ(DetectPresentationPrograms(host_), "mswps");
    show_->installed = false;
    EXPECT_EQ(DetectPresentationPrograms(host_), "wps");
    host_.wpsInstalled = false;
    EXPECT_EQ(DetectPresentationPrograms(host_), "none");
}

// Without a known show window the points are screen positions; both ends are placed exactly
// (a relative move would be scaled by the pointer acceleration).
TEST_F(SlideshowTest, SegmentPlacesBothEndsExactly) {
    std::string out = Output([&] { ppt_.DrawSegment(MakeLong(100, 200), MakeLong(130, 180)); });
    EXPECT_EQ(out, "X1=100,Y1=200,X2=130,Y2=180\n");
    EXPECT_THAT(input_.Input(), ElementsAre("pos 100,200", "pos 130,180"));
    ppt_.DrawSegment(MakeLong(-1, 70000), 0);
    EXPECT_EQ(input_.Input()[2], "pos 65535,4464");
    EXPECT_EQ(input_.Input()[3], "pos 0,0");
    // A segment that goes on from where the last one ended is not placed at its start again.
    ppt_.DrawSegment(0, MakeLong(5, 6));
    EXPECT_EQ(input_.Input().size(), 5u);
    EXPECT_EQ(input_.Input()[4], "pos 5,6");
}

// Points are in the show window, which sits wherever the presenter's projector screen is.
TEST_F(SlideshowTest, SegmentsAndStartPointsFollowTheShowWindow) {
    StartShowAt(2);
    ASSERT_EQ(ppt_.RefreshShowInfo(), 1);
    ppt_.DrawSegment(MakeLong(100, 200), MakeLong(130, 180));  // on the primary screen at (0, 0)
    show_->rect = {1920, 0, 3200, 720};                        // moved to the second screen
    std::string out = Output([&] { ppt_.DrawSegment(MakeLong(100, 200), MakeLong(130, 180)); });
    EXPECT_EQ(out, "X1=100,Y1=200,X2=130,Y2=180\n");  // the phone's own numbers
    ppt_.PlacePointer(MakeLong(5, 30));
    show_->rect = {-1024, -100, 0, 668};  // a screen left of and above the primary one
    ppt_.DrawSegment(MakeLong(0, 0), MakeLong(1023, 767));
    EXPECT_THAT(input_.Input(),
                ElementsAre("pos 100,200", "pos 130,180", "pos 2020,200", "pos 2050,180",
                            "pos 1925,30", "pos -1024,-100", "pos -1,667"));
}

// With the button held, a point past the window must not drag across the presenter's screen.
TEST_F(SlideshowTest, PointsBeyondTheShowWindowStayOnItsEdge) {
    StartShowAt(2);
    ASSERT_EQ(ppt_.RefreshShowInfo(), 1);
    show_->rect = {1920, 0, 3200, 720};
    ppt_.DrawSegment(MakeLong(1270, 700), MakeLong(1300, 65535));
    ppt_.PlacePointer(MakeLong(-5, 800));
    EXPECT_THAT(input_.Input(), ElementsAre("pos 3190,700", "pos 3199,719", "pos 3199,719"));
    // The window went away (the show ended): points are screen positions again.
    show_->window = 0x6000;
    ppt_.DrawSegment(MakeLong(10, 20), MakeLong(30, 40));
    EXPECT_EQ(input_.Input().back(), "pos 30,40");
}
