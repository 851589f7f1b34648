#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/notice_thread.h"
#include "platform/notifier.h"

namespace {

// A delivery that records what it got and can be held up, as a slow notification service would.
class HeldDelivery {
public:
    void operator()(const std::string& title, const std::string& body) {
        std::unique_lock<std::mutex> hold(lock_);
        delivered_.push_back(title + "|" + body);
        changed_.notify_all();
        changed_.wait(hold, [this] { return !held_; });
    }
    void Hold() {
        std::lock_guard<std::mutex> guard(lock_);
        held_ = true;
    }
    void Release() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            held_ = false;
        }
        changed_.notify_all();
    }
    // Waits (with a deadline far beyond need) until `count` deliveries have started.
    bool WaitForDeliveries(size_t count) {
        std::unique_lock<std::mutex> hold(lock_);
        return changed_.wait_for(hold, std::chrono::seconds(10),
                                 [&] { return delivered_.size() >= count; });
    }
    std::vector<std::string> Delivered() {
        std::lock_guard<std::mutex> guard(lock_);
        return delivered_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool held_ = false;
    std::vector<std::string> delivered_;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(NoticeThread, PostNeverWaitsForADeliveryAndTheLatestWaitingNoticeWins) {
    HeldDelivery delivery;
    delivery.Hold();
    NoticeThread thread([&](const std::string& t, const std::string& b) { delivery(t, b); });
    thread.Post("phone-0", "body");
    ASSERT_TRUE(delivery.WaitForDeliveries(1));
    // The first delivery is stuck; these return all the same, and only the last one waits.
    for (int i = 1; i <= 9; ++i) thread.Post("phone-" + std::to_string(i), "body");
    EXPECT_FALSE(thread.WaitIdle(20));
    delivery.Release();
    EXPECT_TRUE(thread.WaitIdle(10000));
    EXPECT_EQ(delivery.Delivered(), (std::vector<std::string>{"phone-0|body", "phone-9|body"}));
    // The thread keeps serving after it went idle.
    thread.Post("again", "b");
    EXPECT_TRUE(thread.WaitIdle(10000));
    EXPECT_EQ(delivery.Delivered().back(), "again|b");
}

TEST(NoticeThread, DestructionFinishesTheCurrentNoticeAndDropsTheWaitingOne) {
    HeldDelivery delivery;
    delivery.Hold();
    {
        NoticeThread thread([&](const std::string& t, const std::string& b) { delivery(t, b); });
        EXPECT_TRUE(thread.WaitIdle(0));
        thread.Post("first", "");
        ASSERT_TRUE(delivery.WaitForDeliveries(1));
        thread.Post("second", "");
        delivery.Release();
    }
    EXPECT_EQ(delivery.Delivered().front(), "first|");
    EXPECT_LE(delivery.Delivered().size(), 2u);
}

class ConnectionNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
#if !defined(_WIN32)
        // No notification service: a session bus address that nothing listens on. (Merely
        // unsetting the variable is not enough on a desktop, where the bus is also found in
        // the user's runtime folder.)
        setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/corvane-test-bus", 1);
#endif
    }
};

TEST_F(ConnectionNotifierTest, WithoutANotificationServiceTheNoticeIsPrinted) {
    auto notifier = CreateConnectionNotifier();
    ASSERT_NE(notifier, nullptr);
    testing::internal::CaptureStdout();
    notifier->Show("Pixel 7", kConnectedNoticeBody);
    bool shown = notifier->WaitUntilShown(10000);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(shown);
    EXPECT_EQ(out, "Connected: Pixel 7 已经连上来了\n");
}

TEST_F(ConnectionNotifierTest, BurstOfLoginsEndsWithTheLastOneInOrder) {
    auto notifier = CreateConnectionNotifier();
    testing::internal::CaptureStdout();
    constexpr int kLogins = 20;
    for (int i = 0; i < kLogins; ++i) notifier->Show("phone-" + std::to_string(i), "on");
    bool shown = notifier->WaitUntilShown(10000);
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(shown);
    std::vector<std::string> lines = Lines(out);
    ASSERT_FALSE(lines.empty());
    EXPECT_LE(lines.size(), static_cast<size_t>(kLogins));
    EXPECT_EQ(lines.back(), "Connected: phone-19 on");
    // Notices are never shown out of order, nor twice.
    int previous = -1;
    for (const std::string& line : lines) {
        int n = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "Connected: phone-%d on", &n), 1) << line;
        EXPECT_GT(n, previous);
        previous = n;
    }
}

TEST_F(ConnectionNotifierTest, TheCallerChoosesTheLineAndThePhonesTextIsShownEscaped) {
    auto own = CreateConnectionNotifier([](const std::string& title, const std::string& body) {
        return "Update " + title + ": " + body;
    });
    auto silent = CreateConnectionNotifier(nullptr);
    auto login = CreateConnectionNotifier();
    testing::internal::CaptureStdout();
    own->Show("2.0", "https://updates.example/Setup.exe");
    const bool ownShown = own->WaitUntilShown(10000);
    silent->Show("nothing", "at all");
    const bool silentShown = silent->WaitUntilShown(10000);
    // A name that would set the terminal's title and clear its screen if printed as it is.
    login->Show("\x1b]0;x\x07Pixel\x1b[2J", kConnectedNoticeBody);
    const bool loginShown = login->WaitUntilShown(10000);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(ownShown && silentShown && loginShown);
    EXPECT_EQ(out,
              "Update 2.0: https://updates.example/Setup.exe\n"
              "Connected: \\x1b]0;x\\x07Pixel\\x1b[2J 已经连上来了\n");
}
