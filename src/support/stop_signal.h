// A one-way signal that sleeping threads wake up for: "sleep until stopped or until a deadline".
// Threads that also wait for work of their own keep that work under the signal's lock and call
// Notify after changing it, so one wait covers the work, the stop and the deadline.
//
// Thread contract: every member, any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

class StopSignal {
public:
    using Clock = std::chrono::steady_clock;

    // Sets the signal and wakes every waiter; it stays set.
    void Stop();
    bool Stopped() const { return stopped_.load(std::memory_order_relaxed); }

    // Sleeps until the signal is set or the time is up; true when it is set.
    bool SleepFor(std::chrono::milliseconds duration);
    bool SleepUntil(Clock::time_point deadline);

    // The lock that guards a waiter's own condition.
    std::mutex& Lock() { return lock_; }
    // Wakes the waiters so that they look at their condition again. Call after changing it
    // under Lock() (or while holding it).
    void Notify() { wake_.notify_all(); }
    // With Lock() held: waits until the signal is set, `ready()` holds or the deadline passes
    // (Clock::time_point::max(): no deadline). True when woken by the signal or by `ready()`,
    // false at the deadline.
    template <typename Ready>
    bool WaitUntil(std::unique_lock<std::mutex>& held, Clock::time_point deadline, Ready ready) {
        auto woken = [&] { return Stopped() || ready(); };
        if (deadline == Clock::time_point::max()) {
            wake_.wait(held, woken);
            return true;
        }
        return wake_.wait_until(held, deadline, woken);
    }
    template <typename Ready>
    void Wait(std::unique_lock<std::mutex>& held, Ready ready) {
        wake_.wait(held, [&] { return Stopped() || ready(); });
    }

    // Clears the signal for a new run. Only while nobody waits on it.
    void Reset() { stopped_.store(false, std::memory_order_relaxed); }

private:
    std::mutex lock_;
    std::condition_variable wake_;
    std::atomic<bool> stopped_{false};
};
