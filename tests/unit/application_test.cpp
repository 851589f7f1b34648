// The program's owner object: the order of start-up, and a shutdown that a hung presentation
// program cannot hold up.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "fakes/fake_presentation.h"
#include "fakes/recording_input.h"
#include "platform/socket.h"
#include "shell/application.h"
#include "shell/settings_store.h"

using namespace std::chrono_literals;
using testing::HasSubstr;

namespace {

// The application on 127.0.0.1 with ephemeral ports and no multicast sockets, whose autostart
// step only notes whether phones were being served by then.
class TestApplication : public CorvaneApplication {
public:
    explicit TestApplication(std::shared_ptr<FakeShow> show)
        : CorvaneApplication(std::make_unique<RecordingInput>(),
                             std::make_unique<FakeHost>(std::move(show)), Endpoints(&options_)) {
        options_.readAdapters = [](std::vector<AdapterInfo>* adapters) {
            adapters->clear();
            return AdapterTableResult::kOk;
        };
    }
    // The real step may wait in a message box for a click (Windows); here it only looks.
    bool ChangeAutoStart(bool enabled) override {
        ++autoStartSteps;
        servingAtAutoStart = ServiceRunning();
        return enabled;
    }
    int autoStartSteps = 0;
    bool servingAtAutoStart = false;

private:
    // `options` is filled in before the service starts.
    static ServiceEndpoints Endpoints(const ServerOptions* options) {
        ServiceEndpoints endpoints;
        endpoints.tcpPort = 0;
        endpoints.udpPort = 0;
        endpoints.bindAddress = "127.0.0.1";
        endpoints.options = options;
        return endpoints;
    }
    ServerOptions options_;
};

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SocketLibraryStartup(), 0);
        settingsPath_ = testing::TempDir() + "application_settings.ini";
        std::remove(settingsPath_.c_str());
        SetSettingsPathForTesting(settingsPath_);
    }
    void TearDown() override {
        SetSettingsPathForTesting("");
        std::remove(settingsPath_.c_str());
    }
    std::string settingsPath_;
};

}  // namespace

TEST_F(ApplicationTest, PhonesAreServedBeforeTheAutostartStep) {
    TestApplication application(std::make_shared<FakeShow>());
    testing::internal::CaptureStdout();
    application.Initialize();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(application.autoStartSteps, 1);
    EXPECT_TRUE(application.servingAtAutoStart);
    application.Shutdown();
    EXPECT_FALSE(application.ThreadsLeftBehind());
}

TEST_F(ApplicationTest, AHungPresentationProgramDoesNotHoldUpTheShutdown) {
    auto show = std::make_shared<FakeShow>();
    show->running = true;
    show->showRunning = true;
    show->Hang("View.GotoSlide");
    // Left behind with its stuck worker, as the program leaves it (reachable through a static, so
    // leak checkers stay quiet); the call never returns.
    static TestApplication* const application = new TestApplication(show);
    testing::internal::CaptureStdout();
    application->Initialize();
    ASSERT_NE(application->worker.load(), nullptr);
    ASSERT_EQ(application->worker.load()->Post({PR_GOTO_PAGE, 4, 0}), 0);
    for (int i = 0; i < 1000 && show->Hanging() == 0; ++i) std::this_thread::sleep_for(5ms);
    ASSERT_EQ(show->Hanging(), 1);

    application->SetFactors(30, 70);
    application->Shutdown();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(application->ThreadsLeftBehind());
    EXPECT_THAT(out, HasSubstr("The presentation program did not return within 3000 ms"));
    // The rest of the shutdown went on: the settings kept for the next start are written.
    EXPECT_EQ(ReadSetting(kVertKey), "30");
    EXPECT_EQ(ReadSetting(kHorzKey), "70");
    EXPECT_EQ(show->Hanging(), 1);
}
