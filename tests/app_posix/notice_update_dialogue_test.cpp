// The Linux program's update dialogue: a notice instead of a question.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/posix/notice_update_dialogue.h"

namespace {

using testing::ElementsAre;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

constexpr const char* kInstaller = "https://updates.example/files/Setup.exe";

// A notifier that keeps what it was asked to show.
class KeepingNotifier : public ConnectionNotifier {
public:
    explicit KeepingNotifier(std::vector<std::string>* shown) : shown_(shown) {}
    void Show(const std::string& title, const std::string& body) override {
        shown_->push_back(title + " | " + body);
    }
    bool WaitUntilShown(int) override { return true; }

private:
    std::vector<std::string>* shown_;
};

TEST(NoticeUpdateDialogueTest, TheQuestionIsANoticeAndTheAnswerNo) {
    std::vector<std::string> shown;
    NoticeUpdateDialogue dialogue(std::make_unique<KeepingNotifier>(&shown));
    CaptureStdout();
    EXPECT_FALSE(dialogue.AskToUpdate(kInstaller));
    EXPECT_EQ(GetCapturedStdout(),
              std::string("A new version of CorvaneServer is available: ") + kInstaller + "\n");
    EXPECT_THAT(shown, ElementsAre(std::string("CorvaneServer update | A new version is "
                                               "available: ") +
                                   kInstaller));
    // Nothing is downloaded on this system: no place for an installer.
    EXPECT_EQ(dialogue.DownloadFilePath(), "");
}

TEST(NoticeUpdateDialogueTest, WithoutANotificationServiceOnlyTheUpdatesOwnLineIsPrinted) {
    // A session bus address that nothing listens on.
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/corvane-test-bus", 1);
    std::unique_ptr<ConnectionNotifier> notifier = CreateUpdateNotifier();
    ConnectionNotifier* shown = notifier.get();
    NoticeUpdateDialogue dialogue(std::move(notifier));
    CaptureStdout();
    // The address comes from the service: a control sequence in it is shown, not obeyed.
    EXPECT_FALSE(dialogue.AskToUpdate("https://updates.example/\x1b[2JSetup.exe"));
    const bool done = shown->WaitUntilShown(10000);
    EXPECT_EQ(GetCapturedStdout(),
              "A new version of CorvaneServer is available: "
              "https://updates.example/\\x1b[2JSetup.exe\n");
    EXPECT_TRUE(done);
}

}  // namespace
