// One running copy of the program per user.
#pragma once

#include <memory>

class SingleInstanceLock {
public:
    virtual ~SingleInstanceLock() = default;
};

// Takes the per-user lock, or returns null when another copy holds it. The lock is released
// when the returned object goes or the process ends, however it ends.
std::unique_ptr<SingleInstanceLock> AcquireSingleInstanceLock();
