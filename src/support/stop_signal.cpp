#include "support/stop_signal.h"

void StopSignal::Stop() {
    {
        // Under the lock, so a waiter between its check and its sleep cannot miss the wake-up.
        std::lock_guard<std::mutex> guard(lock_);
        stopped_.store(true, std::memory_order_relaxed);
    }
    wake_.notify_all();
}

bool StopSignal::SleepFor(std::chrono::milliseconds duration) {
    return SleepUntil(Clock::now() + duration);
}

bool StopSignal::SleepUntil(Clock::time_point deadline) {
    std::unique_lock<std::mutex> held(lock_);
    WaitUntil(held, deadline, [] { return false; });
    return Stopped();
}
