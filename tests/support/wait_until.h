// Waiting in tests: for a condition, within a generous upper bound, never for a fixed time.
#pragma once

#include <chrono>
#include <functional>

// A moment some time from now, for loops that wait on sockets, descriptors or windows.
class Deadline {
public:
    using Clock = std::chrono::steady_clock;

    explicit Deadline(std::chrono::milliseconds fromNow) : end_(Clock::now() + fromNow) {}

    // Whole milliseconds left, 0 once the moment has passed: a time-out for poll, select or
    // WaitReadable.
    int RemainingMs() const;
    bool Passed() const { return Clock::now() >= end_; }

private:
    Clock::time_point end_;
};

// Checks `condition` until it holds or `timeout` has passed; true when it held. Between checks
// it calls `pause`: by default a sleep of 10 ms; tests that own windows pass one that handles
// their thread's messages instead.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               const std::function<void()>& pause = nullptr);
