#include "service/login_throttle.h"

#include <chrono>
#include <cstring>

namespace {
constexpr size_t kMaxTracked = 4096;
}

LoginThrottle::LoginThrottle()
    : clock_([] {
          return std::chrono::duration_cast<std::chrono::seconds>(
                     std::chrono::steady_clock::now().time_since_epoch())
              .count();
      }) {}

void LoginThrottle::SetClock(Clock clock) {
    std::lock_guard<std::mutex> guard(lock_);
    clock_ = std::move(clock);
}

bool LoginThrottle::IsLocked(std::uint32_t address) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = entries_.find(address);
    if (it == entries_.end() || it->second.lockedUntil == 0) return false;
    if (clock_() < it->second.lockedUntil) return true;
    entries_.erase(it);  // the lock-out is over: a fresh count of attempts
    return false;
}

bool LoginThrottle::RecordFailure(std::uint32_t address) {
    std::lock_guard<std::mutex> guard(lock_);
    std::int64_t now = clock_();
    if (entries_.size() >= kMaxTracked && entries_.count(address) == 0) Prune(now);
    Entry& e = entries_[address];
    if (e.lockedUntil != 0) return false;
    if (++e.failures < kMaxFailures) return false;
    e.lockedUntil = now + kLockSeconds;
    return true;
}

void LoginThrottle::RecordSuccess(std::uint32_t address) {
    std::lock_guard<std::mutex> guard(lock_);
    entries_.erase(address);
}

void LoginThrottle::Prune(std::int64_t now) {
    // Forget expired lock-outs and mere failure counts first; live lock-outs only if needed.
    for (auto it = entries_.begin(); it != entries_.end();) {
        bool live = it->second.lockedUntil != 0 && now < it->second.lockedUntil;
        it = live ? std::next(it) : entries_.erase(it);
    }
    if (entries_.size() >= kMaxTracked) entries_.clear();
}

bool PasswordEquals(const char* given, const char* expected) {
    size_t givenLength = std::strlen(given);
    size_t expectedLength = std::strlen(expected);
    unsigned char diff = givenLength == expectedLength ? 0 : 1;
    // Always walk the whole given text; compare against the expected one cyclically.
    for (size_t i = 0; i < givenLength; ++i) {
        unsigned char e =
            expectedLength ? static_cast<unsigned char>(expected[i % expectedLength]) : 0;
        diff |= static_cast<unsigned char>(given[i]) ^ e;
    }
    return diff == 0;
}
