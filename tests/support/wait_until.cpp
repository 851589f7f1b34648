#include "wait_until.h"

#include <thread>

int Deadline::RemainingMs() const {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               const std::function<void()>& pause) {
    Deadline deadline(timeout);
    for (;;) {
        if (condition()) return true;
        if (deadline.Passed()) return false;
        if (pause) {
            pause();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}
