#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "fakes/fake_presentation.h"
#include "fakes/recording_input.h"
#include "presentation/msi_ppt.h"
#include "presentation/presentation_worker.h"
#include "shell/settings_store.h"
#include "shell/start_failures.h"
#include "wait_until.h"

using namespace std::chrono_literals;
using testing::ElementsAre;
using testing::HasSubstr;

namespace {

class WorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        settingsPath_ = testing::TempDir() + "worker_settings.ini";
        SetSettingsPathForTesting(settingsPath_);
        ppt_.sleep = [](int) {};
        worker_.SetIdleInterval(100ms);
    }
    void TearDown() override {
        worker_.Stop();
        SetSettingsPathForTesting("");
        std::remove(settingsPath_.c_str());
    }
    // The checks after it tell what did not happen in time.
    void WaitFor(const std::function<bool()>& condition) { WaitUntil(condition, 5s); }
    // A running show, and the worker started and stuck in a go-to that does not return until
    // the show is released.
    void StartStuckInAGoTo() {
        show_->running = true;
        show_->showRunning = true;
        show_->Hang("View.GotoSlide");
        worker_.Start();
        ASSERT_EQ(worker_.Post({PR_GOTO_PAGE, 2, 0}), 0);
        WaitFor([&] { return show_->Hanging() == 1; });
        ASSERT_EQ(show_->Hanging(), 1);
    }

    std::shared_ptr<FakeShow> show_ = std::make_shared<FakeShow>();
    FakeHost host_{show_};
    RecordingInput input_;
    SettingsStartFailureCounter startFailures_;
    msi_ppt ppt_{&host_, &input_, &startFailures_};
    PresentationWorker worker_{ppt_, host_, input_};
    std::string settingsPath_;
};

}  // namespace

TEST_F(WorkerTest, FallbackKeysArePressedAndReleased) {
    show_->installed = false;  // no presentation program at all
    worker_.Start();
    testing::internal::CaptureStdout();
    worker_.Post({PR_NEXT_PAGE, 0, 0});
    worker_.Post({PR_PREV_PAGE, 0, 0});
    worker_.Post({PR_QUIT, 0, 0});
    WaitFor([&] { return input_.Input().size() >= 6; });
    worker_.Stop();
    testing::internal::GetCapturedStdout();
    EXPECT_THAT(input_.Input(), ElementsAre("key 0x27 down", "key 0x27 up", "key 0x25 down",
                                            "key 0x25 up", "key 0x1B down", "key 0x1B up"));
    // Each failed creation was counted.
    EXPECT_EQ(ReadSetting(kOfficeInitErrorCountKey), "4-0x800401f3");
}

TEST_F(WorkerTest, RequestsFromSeveralThreadsKeepTheirOrder) {
    show_->running = true;
    show_->showRunning = true;
    show_->slideCount = 400;
    worker_.Start();
    std::vector<std::thread> posters;
    for (int t = 0; t < 4; ++t) {
        posters.emplace_back([this, t] {
            for (int i = 1; i <= 50; ++i)
                worker_.Post({PR_GOTO_PAGE, std::uint32_t(t * 100 + i), 0});
        });
    }
    for (auto& p : posters) p.join();
    WaitFor([&] {
        auto calls = show_->Calls();
        return std::count_if(calls.begin(), calls.end(), [](const std::string& c) {
                   return c.rfind("View.GotoSlide", 0) == 0;
               }) >= 200;
    });
    worker_.Stop();
    int last[4] = {0, 0, 0, 0}, seen = 0;
    for (const std::string& call : show_->Calls()) {
        int slide = 0;
        if (std::sscanf(call.c_str(), "View.GotoSlide(%d,", &slide) != 1) continue;
        ++seen;
        int thread = slide / 100, index = slide % 100;
        EXPECT_EQ(index, last[thread] + 1) << "thread " << thread;
        last[thread] = index;
    }
    EXPECT_EQ(seen, 200);
}

TEST_F(WorkerTest, IdleRefreshWaitsForAQuietInterval) {
    show_->running = true;
    show_->showRunning = true;
    show_->position = 4;
    worker_.Start();
    // A burst of requests closer together than the idle interval: no refresh in between.
    for (int i = 0; i < 10; ++i) {
        worker_.Post({PR_DRAW_LINE, 0, 0});
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(host_.runningLookups, 0);
    EXPECT_EQ(ppt_.curPos, -1);
    WaitFor([&] { return ppt_.curPos == 4; });
    EXPECT_EQ(ppt_.curPos, 4);
    EXPECT_EQ(ppt_.slideCount, 10);
    EXPECT_GE(host_.runningLookups, 1);
}

TEST_F(WorkerTest, PenCursorFollowsTheShow) {
    show_->running = true;
    worker_.Start();
    // Pre-draw without a show starts one and shows the pen cursor.
    worker_.Post({PR_PRE_DRAW, 0, 0});
    WaitFor([&] { return ppt_.mode == MODE_PRE_DRAW; });
    EXPECT_TRUE(host_.penCursorInstalled);
    // The show ends outside our control: the next idle tick restores the cursors.
    show_->showRunning = false;
    WaitFor([&] { return !host_.penCursorInstalled; });
    EXPECT_FALSE(host_.penCursorInstalled);
    // A show in pre-draw mode again: the pen cursor comes back by itself.
    show_->showRunning = true;
    WaitFor([&] { return host_.penCursorInstalled.load(); });
    EXPECT_TRUE(host_.penCursorInstalled);

    // Change-state 2: arrow in the show, pen cursor kept while the show runs.
    worker_.Post({PR_CHANGE_STATE, 0, 0});
    WaitFor([&] { return !host_.penCursorInstalled; });
    worker_.Post({PR_CHANGE_STATE, 2, 0});
    WaitFor([&] { return host_.penCursorInstalled.load(); });
    EXPECT_EQ(ppt_.mode, MODE_ARROW);
    std::this_thread::sleep_for(300ms);  // several idle ticks
    EXPECT_TRUE(host_.penCursorInstalled);
    show_->showRunning = false;
    WaitFor([&] { return !host_.penCursorInstalled; });
    EXPECT_FALSE(host_.penCursorInstalled);
}

TEST_F(WorkerTest, DrawingRequestsPressAndReleaseTheButton) {
    show_->running = true;
    show_->showRunning = true;
    worker_.Start();
    worker_.Post({PR_DRAW_DOWN, 0, 1});
    worker_.Post({PR_DRAW_LINE, MakeLong(10, 20), MakeLong(15, 25)});
    worker_.Post({PR_DRAW_UP, 0, 1});
    WaitFor([&] { return input_.Input().size() >= 4; });
    EXPECT_THAT(input_.Input(), ElementsAre("left down", "pos 10,20", "pos 15,25", "left up"));
    EXPECT_EQ(ppt_.mode, MODE_PEN);         // the end of drawing keeps the pen
    worker_.Post({PR_CHANGE_STATE, 5, 0});  // no such state: nothing happens
    worker_.Post({PR_CHANGE_STATE, 3, 0});
    WaitFor([&] { return ppt_.mode == MODE_BLACK; });
    EXPECT_EQ(show_->viewState, 3);
}

// The start point is placed by the worker, in order: after the previous stroke's segments, and
// after the show was brought up, where its window is on the screen.
TEST_F(WorkerTest, AStrokeStartsAtItsPointInTheShowWindow) {
    show_->running = true;
    show_->rect = {1920, 0, 3200, 720};  // the projector, right of the presenter's screen
    worker_.Start();
    worker_.Post({PR_DRAW_DOWN, MakeLong(5, 30), kDrawStartAtPoint});
    worker_.Post({PR_DRAW_LINE, MakeLong(5, 30), MakeLong(45, 70)});
    worker_.Post({PR_DRAW_UP, 0, 1});
    worker_.Post({PR_DRAW_DOWN, MakeLong(600, 400), 1});  // no point: the pointer stays
    worker_.Post({PR_DRAW_UP, 0, 1});
    WaitFor([&] { return input_.Input().size() >= 6; });
    EXPECT_TRUE(show_->showRunning);  // the stroke started the show
    // The segment starts where the pointer already is: only its end is placed.
    EXPECT_THAT(input_.Input(), ElementsAre("pos 1925,30", "left down", "pos 1965,70", "left up",
                                            "left down", "left up"));
}

TEST_F(WorkerTest, AFaultInARequestIsLoggedAndTheNextOneServed) {
    show_->running = true;
    show_->showRunning = true;
    host_.throwOnInstallCursor = 1;
    worker_.Start();
    testing::internal::CaptureStdout();
    worker_.Post({PR_PRE_DRAW, 0, 0});
    worker_.Post({PR_GOTO_PAGE, 6, 0});
    WaitFor([&] { return show_->position == 6; });
    worker_.Stop();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_THAT(out, HasSubstr("  Do PowerPoint [__except] Exception.\n"));
    EXPECT_EQ(show_->position, 6);
}

TEST_F(WorkerTest, PostingFailsWithoutARunningWorker) {
    EXPECT_EQ(worker_.Post({PR_NEXT_PAGE, 0, 0}), kNoWorkerError);
    worker_.Start();
    EXPECT_EQ(worker_.Post({PR_DRAW_LINE, 0, 0}), 0);
    worker_.Stop();
    EXPECT_EQ(worker_.Post({PR_NEXT_PAGE, 0, 0}), kNoWorkerError);
}

TEST_F(WorkerTest, AFullQueueRefusesPostsAndSaysSoAtMostOnceASecond) {
    ASSERT_NO_FATAL_FAILURE(StartStuckInAGoTo());

    testing::internal::CaptureStdout();
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < PresentationWorker::kQueueLimit; ++i) {
        ASSERT_EQ(worker_.Post({PR_NEXT_PAGE, 0, 0}), 0) << i;
    }
    int refused = 0;
    for (int i = 0; i < 30000; ++i) {
        if (worker_.Post({PR_NEXT_PAGE, 0, 0}) == kQueueFullError) ++refused;
    }
    const auto took = std::chrono::steady_clock::now() - start;
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(refused, 30000);
    int lines = 0;
    for (size_t at = out.find("Presentation requests refused"); at != std::string::npos;
         at = out.find("Presentation requests refused", at + 1)) {
        ++lines;
    }
    EXPECT_GE(lines, 1);
    EXPECT_LE(lines, 1 + std::chrono::duration_cast<std::chrono::seconds>(took).count()) << out;
    EXPECT_THAT(out, HasSubstr("  Presentation requests refused: 10000 waiting already; 1 "
                               "refused since the last such line.\n"));

    // Once the program answers again the queue drains and posts are taken again.
    show_->Release();
    bool taken = false;
    WaitFor([&] { return taken = worker_.Post({PR_GOTO_PAGE, 3, 0}) == 0; });
    EXPECT_TRUE(taken);
}

TEST_F(WorkerTest, StopAnswersForTheStoppingThreadWhileTheCallInHandNeedsIt) {
    ASSERT_NO_FATAL_FAILURE(StartStuckInAGoTo());
    // The call returns only once the stopping thread does its part, as a broadcast to the
    // program's windows waits for the thread that owns them.
    EXPECT_TRUE(worker_.Stop(std::chrono::minutes(1), [&] { show_->Release(); }));
    EXPECT_EQ(show_->position, 2);
    EXPECT_EQ(worker_.Post({PR_NEXT_PAGE, 0, 0}), kNoWorkerError);
}

namespace {

// What a worker stuck for good uses: left behind on purpose, as the program leaves it (reachable
// through a static, so leak checkers stay quiet).
struct AbandonedWorker {
    std::shared_ptr<FakeShow> show = std::make_shared<FakeShow>();
    FakeHost host{show};
    RecordingInput input;
    msi_ppt ppt{&host, &input};
    PresentationWorker worker{ppt, host, input};
};

}  // namespace

TEST(WorkerStopTest, AWorkerStuckInAHungProgramIsLeftBehindAfterTheLimit) {
    static AbandonedWorker* const stuck = new AbandonedWorker;
    stuck->show->running = true;
    stuck->show->showRunning = true;
    stuck->show->Hang("View.GotoSlide");
    stuck->worker.Start();
    ASSERT_EQ(stuck->worker.Post({PR_GOTO_PAGE, 4, 0}), 0);
    for (int i = 0; i < 1000 && stuck->show->Hanging() == 0; ++i) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(stuck->show->Hanging(), 1);

    testing::internal::CaptureStdout();
    int answered = 0;
    EXPECT_FALSE(stuck->worker.Stop(200ms, [&] { ++answered; }));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_GT(answered, 0);
    EXPECT_THAT(out, HasSubstr("  The presentation program did not return within 200 ms; its "
                               "worker is left behind.\n"));
    EXPECT_EQ(stuck->worker.Post({PR_NEXT_PAGE, 0, 0}), kNoWorkerError);
    EXPECT_EQ(stuck->show->Hanging(), 1);  // still in the call: nothing was freed under it
}
