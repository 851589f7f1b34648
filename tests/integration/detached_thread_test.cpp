// Threads nobody joins, started faster than they end: the connection threads of the service
// live like this when probes connect and close at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/detached_thread.h"

TEST(DetachedThread, ManyShortThreadsEachRunTheirOwnBodyOnce) {
    constexpr int kThreads = 3000;
    struct Tally {
        std::atomic<int> count{0};
        std::atomic<std::int64_t> sum{0};
        std::mutex lock;
        std::condition_variable allRan;
    };
    auto tally = std::make_shared<Tally>();  // outlives the test if a thread comes late
    int started = 0;
    for (int i = 1; i <= kThreads; ++i) {
        if (StartDetachedThread([tally, i] {
                tally->sum += i;
                if (++tally->count < kThreads) return;
                std::lock_guard<std::mutex> guard(tally->lock);
                tally->allRan.notify_all();
            })) {
            ++started;
        }
    }
    ASSERT_EQ(started, kThreads);
    std::unique_lock<std::mutex> guard(tally->lock);
    // Generous: only a lost thread ever comes near it.
    ASSERT_TRUE(tally->allRan.wait_for(guard, std::chrono::seconds(60),
                                       [&] { return tally->count == kThreads; }))
        << tally->count << " of " << kThreads << " threads ran";
    EXPECT_EQ(tally->sum, std::int64_t{kThreads} * (kThreads + 1) / 2);
}
