#include <gtest/gtest.h>

#include "service/login_throttle.h"

TEST(PasswordEquals, ComparesWholeTextsExactly) {
    EXPECT_TRUE(PasswordEquals("735", "735"));
    EXPECT_TRUE(PasswordEquals("", ""));
    EXPECT_FALSE(PasswordEquals("73", "735"));
    EXPECT_FALSE(PasswordEquals("7355", "735"));
    EXPECT_FALSE(PasswordEquals("735735", "735"));  // a repeat of the password is not it
    EXPECT_FALSE(PasswordEquals("", "735"));
    EXPECT_FALSE(PasswordEquals("x", ""));
    EXPECT_FALSE(PasswordEquals("Abc", "abc"));
}

TEST(LoginThrottle, AddressesAreCountedApartAndManyDoNotGrowWithoutBound) {
    std::int64_t now = 0;
    LoginThrottle throttle;
    throttle.SetClock([&now] { return now; });
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(throttle.RecordFailure(1));
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(throttle.RecordFailure(2));
    EXPECT_TRUE(throttle.RecordFailure(1));
    EXPECT_TRUE(throttle.IsLocked(1));
    EXPECT_FALSE(throttle.IsLocked(2));
    // A flood of one-off addresses forgets failure counts but keeps the live lock-out.
    for (std::uint32_t a = 100; a < 10100; ++a) throttle.RecordFailure(a);
    EXPECT_TRUE(throttle.IsLocked(1));
    now += LoginThrottle::kLockSeconds;
    EXPECT_FALSE(throttle.IsLocked(1));
    EXPECT_FALSE(throttle.RecordFailure(1));  // a fresh count after the lock-out
}
