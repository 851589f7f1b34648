// Threads nobody joins, started faster than they end: the connection threads of the service
// live like this when probes connect and close at once.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "platform/detached_thread.h"
#include "wait_until.h"

TEST(DetachedThread, ManyShortThreadsEachRunTheirOwnBodyOnce) {
    constexpr int kStarters = 3, kEach = 1000, kThreads = kStarters * kEach;
    struct Tally {
        std::atomic<int> started{0}, ran{0};
        std::atomic<std::int64_t> sum{0};
    };
    auto tally = std::make_shared<Tally>();  // outlives the test if a thread comes late
    // Several threads starting at once: one thread's start then meets another's end.
    std::vector<std::thread> starters;
    for (int s = 0; s < kStarters; ++s) {
        starters.emplace_back([tally, s] {
            for (int i = s * kEach + 1; i <= (s + 1) * kEach; ++i) {
                if (StartDetachedThread([tally, i] {
                        tally->sum += i;
                        ++tally->ran;
                    })) {
                    ++tally->started;
                }
            }
        });
    }
    for (std::thread& starter : starters) starter.join();
    ASSERT_EQ(tally->started, kThreads);
    // Generous: only a lost thread ever comes near it.
    ASSERT_TRUE(WaitUntil([&] { return tally->ran == kThreads; }, std::chrono::seconds(60)))
        << tally->ran << " of " << kThreads << " threads ran";
    EXPECT_EQ(tally->sum, std::int64_t{kThreads} * (kThreads + 1) / 2);
}
