// Slows down password guessing: after 5 failed logins in a row from one address, every login
// from that address is refused for 60 seconds without looking at the password.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <unordered_map>

class LoginThrottle {
public:
    static constexpr int kMaxFailures = 5;
    static constexpr std::int64_t kLockSeconds = 60;

    // Seconds on a clock that never goes back; replaceable for tests.
    using Clock = std::function<std::int64_t()>;
    LoginThrottle();
    void SetClock(Clock clock);

    // All members: any thread.
    bool IsLocked(std::uint32_t address);
    // Counts a failure; true when this one starts a lock-out.
    bool RecordFailure(std::uint32_t address);
    void RecordSuccess(std::uint32_t address);

private:
    struct Entry {
        int failures = 0;
        std::int64_t lockedUntil = 0;
    };
    void Prune(std::int64_t now);

    std::mutex lock_;
    Clock clock_;
    std::unordered_map<std::uint32_t, Entry> entries_;
};

// Password check whose time does not depend on where the texts differ.
bool PasswordEquals(const char* given, const char* expected);
