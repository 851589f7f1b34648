// The update cycle and thread: waits, the order of check, question and download, the lines
// printed, faults caught per cycle, and Stop ending every wait.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "fakes/fake_http_client.h"
#include "fakes/fake_presentation.h"
#include "fakes/recording_input.h"
#include "fakes/recording_update_host.h"
#include "shell/application.h"
#include "shell/update_facts.h"
#include "update/update_worker.h"
#include "update/updater.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::string OkReply(const std::string& url) {
    return R"({"status":"ok","message":")" + url + "\"}";
}

class UpdateCycleTest : public testing::Test {
protected:
    UpdateCycleTest() {
        settings.serviceUrl = "https://updates.example/downloadapp.php";
        host.downloadPath = testing::TempDir() + "corvane_update_cycle_test.exe";
    }
    ~UpdateCycleTest() override { std::remove(host.downloadPath.c_str()); }

    // An updater whose waits return at once and are recorded.
    std::unique_ptr<Updater> MakeUpdater() {
        auto updater = std::make_unique<Updater>(host, host, http, settings);
        updater->wait = [this](int milliseconds) {
            waits.push_back(milliseconds);
            return true;
        };
        return updater;
    }

    UpdateSettings settings;
    RecordingUpdateHost host;
    FakeHttpClient http;
    std::vector<int> waits;
};

TEST_F(UpdateCycleTest, AcceptedUpdateIsDownloadedBetweenShowingAndHiding) {
    http.replies.push_back(ScriptedReply::Body(200, OkReply(kInstaller)));
    http.replies.push_back(ScriptedReply::Body(200, std::string(2048, 'x')));
    auto updater = MakeUpdater();
    CaptureStdout();
    EXPECT_EQ(updater->UpdateOnce(), 0);
    EXPECT_EQ(GetCapturedStdout(),
              "Doing Update....\nCode=200\nUPDATE_URL=https://updates.example/files/Setup.exe\n"
              "Begin DOwnload File...\nCODE=200\nSZ=2048\n");
    EXPECT_THAT(waits, ElementsAre(5000));
    EXPECT_THAT(host.Events(), ElementsAre(std::string("ask ") + kInstaller, "begin",
                                           "progress 2048/2048", "progress 2048/2048",
                                           "install " + host.downloadPath, "shutdown", "end"));
}

TEST_F(UpdateCycleTest, NoMeansNothingElseHappens) {
    host.answer = false;
    http.replies.push_back(ScriptedReply::Body(200, OkReply(kInstaller)));
    auto updater = MakeUpdater();
    CaptureStdout();
    EXPECT_EQ(updater->UpdateOnce(), -1);
    GetCapturedStdout();
    EXPECT_THAT(host.Events(), ElementsAre(std::string("ask ") + kInstaller));
    EXPECT_EQ(http.requests.size(), 1u);
}

TEST_F(UpdateCycleTest, EmptyAddressEndsTheCycle) {
    http.replies.push_back(ScriptedReply::Body(200, R"({"status":"ok","message":""})"));
    auto updater = MakeUpdater();
    CaptureStdout();
    EXPECT_EQ(updater->UpdateOnce(), -1);
    EXPECT_EQ(GetCapturedStdout(), "Doing Update....\nCode=200\nUPDATE_URL=\nURL is Empty\n");
    EXPECT_TRUE(host.Events().empty());
}

TEST_F(UpdateCycleTest, UnreachableServiceEndsTheCycleQuietly) {
    http.replies.push_back(ScriptedReply::Failure("Couldn't connect to server"));
    auto updater = MakeUpdater();
    CaptureStdout();
    EXPECT_EQ(updater->UpdateOnce(), -1);
    EXPECT_EQ(
        GetCapturedStdout(),
        "Doing Update....\nerror .<Couldn't connect to server> \nUPDATE_URL=\nURL is Empty\n");
}

TEST_F(UpdateCycleTest, PlainHttpInstallerIsNeverOffered) {
    http.replies.push_back(ScriptedReply::Body(200, OkReply("http://updates.example/Setup.exe")));
    auto updater = MakeUpdater();
    CaptureStdout();
    EXPECT_EQ(updater->UpdateOnce(), -1);
    const std::string out = GetCapturedStdout();
    EXPECT_THAT(out, HasSubstr("Begin DOwnload File...\n"));
    EXPECT_THAT(out, HasSubstr("Update refused: the installer address "
                               "http://updates.example/Setup.exe is not https.\n"));
    EXPECT_TRUE(host.Events().empty());  // not asked, nothing downloaded
    EXPECT_EQ(http.requests.size(), 1u);
}

TEST_F(UpdateCycleTest, ThreadWaitsFiveSecondsThenTwelveHoursAndSurvivesFaults) {
    host.throwOnForm = 1;  // the first cycle fails with an exception
    http.replies.push_back(ScriptedReply::Body(200, R"({"status":"no","message":""})"));
    auto updater = MakeUpdater();
    int cycles = 0;
    updater->wait = [&](int milliseconds) {
        waits.push_back(milliseconds);
        if (milliseconds == settings.periodMs && ++cycles == 2) return false;  // as Stop would
        return true;
    };
    CaptureStdout();
    updater->UpdateThread();
    const std::string out = GetCapturedStdout();
    EXPECT_THAT(waits, ElementsAre(5000, 43'200'000, 5000, 43'200'000));
    EXPECT_EQ(out,
              "Doing Update....\n__except Excep... \n"
              "Doing Update....\nCode=200\nUPDATE_URL=\nURL is Empty\n");
}

TEST_F(UpdateCycleTest, WithoutAServiceAddressNothingIsSent) {
    settings.serviceUrl.clear();
    auto updater = MakeUpdater();
    CaptureStdout();
    updater->UpdateThread();
    EXPECT_THAT(GetCapturedStdout(), HasSubstr("No update service is configured"));
    EXPECT_TRUE(http.requests.empty());
    EXPECT_TRUE(waits.empty());
}

TEST_F(UpdateCycleTest, StopEndsTheRealWaitsAndTheThread) {
    // Real waits, in a worker thread: the cycle asks, is told No, and goes into its 12-hour
    // wait. Stop (the program's end) must end that wait and with it the thread.
    http.replies.push_back(ScriptedReply::Body(200, OkReply(kInstaller)));
    settings.firstWaitMs = 0;
    auto recording = std::make_unique<RecordingUpdateHost>();
    RecordingUpdateHost* seen = recording.get();
    std::atomic<bool> asked{false};
    seen->answer = false;
    seen->onAsk = [&asked] { asked = true; };
    auto client = std::make_unique<FakeHttpClient>();
    client->replies = http.replies;
    CaptureStdout();
    auto worker = UpdateWorker::Start(std::make_unique<RecordingUpdateHost>(), std::move(recording),
                                      std::move(client), settings);
    while (!asked && !worker->WaitFinished(10)) {
    }
    worker->Stop();
    // Bounded so that a wait Stop cannot end fails here instead of hanging the suite.
    EXPECT_TRUE(worker->WaitFinished(60'000));
    worker->Join();
    GetCapturedStdout();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(worker->updater().Stopping());
    EXPECT_THAT(seen->Events(), ElementsAre(std::string("ask ") + kInstaller));
}

TEST_F(UpdateCycleTest, StopBeforeTheDownloadCancelsIt) {
    http.replies.push_back(ScriptedReply::Body(200, OkReply(kInstaller)));
    auto updater = MakeUpdater();
    host.onAsk = [&] { updater->Stop(); };
    CaptureStdout();
    EXPECT_EQ(updater->UpdateOnce(), -1);
    GetCapturedStdout();
    EXPECT_TRUE(http.Cancelled());
    EXPECT_THAT(host.Events(), ElementsAre(std::string("ask ") + kInstaller));
}

TEST(ApplicationUpdateFactsTest, FormValuesComeFromTheApplicationUntilForgotten) {
    CorvaneApplication application(std::make_unique<RecordingInput>(),
                                   std::make_unique<FakeHost>(std::make_shared<FakeShow>()));
    application.HardwareAddressText = "00-1A-2B-3C-4D-5E";
    application.SetComputerName("OFFICE-PC");
    ApplicationUpdateFacts facts(application);
    EXPECT_EQ(facts.HardwareAddress(), "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(facts.ComputerName(), "OFFICE-PC");
    EXPECT_EQ(facts.PresentationPrograms(), "ms");
    facts.Forget();
    EXPECT_EQ(facts.HardwareAddress(), "");
    EXPECT_EQ(facts.ComputerName(), "");
    EXPECT_EQ(facts.PresentationPrograms(), "none");
}

}  // namespace
