// One running copy of the program per user, and the call a later copy makes to the running one
// to bring its window forward.
#pragma once

#include <memory>

class SingleInstanceLock {
public:
    virtual ~SingleInstanceLock() = default;
    // Lets later copies call this one (a copy with windows does; one without does not): returns
    // a descriptor that becomes readable when a call waits, or -1 when calls cannot be taken.
    // Main thread.
    virtual int TakeCallsFromLaterCopies() { return -1; }
    // Takes the call waiting on that descriptor without blocking; true when it came from a copy
    // of this user, which asks this one to show its window. Main thread.
    virtual bool AnswerCall() { return false; }
};

// Takes the per-user lock, or returns null when another copy holds it. The lock is released
// when the returned object goes or the process ends, however it ends.
std::unique_ptr<SingleInstanceLock> AcquireSingleInstanceLock();

// In a copy that did not get the lock: asks the copy that holds it to show its window. True when
// that copy took the call; false when it takes no calls (it runs without windows) or is gone.
bool CallRunningCopy();
