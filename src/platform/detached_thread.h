// Threads that nobody joins: they end by themselves and free what they hold.
#pragma once

#include <functional>

// Runs `body` on a new thread of its own. False when the system could not start one (`body` is
// then dropped unrun). Any thread.
//
// On Windows this does not go through std::thread: the mingw thread library reuses the record
// of a thread that ended before it was detached while that thread is still winding down, and
// the next thread started can then run with no argument or another thread's.
bool StartDetachedThread(std::function<void()> body);
