// The thread behind a ConnectionNotifier: Show hands the text over and returns, the thread
// delivers it. Only the latest text waits; a newer one replaces it.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "support/stop_signal.h"

class NoticeThread {
public:
    using Deliver = std::function<void(const std::string& title, const std::string& body)>;

    // `deliver` runs on the notice thread only, one notice at a time.
    explicit NoticeThread(Deliver deliver);
    // Stops the thread and joins it: a notice being delivered is finished, one still waiting is
    // dropped. Owner's thread.
    ~NoticeThread();
    NoticeThread(const NoticeThread&) = delete;
    NoticeThread& operator=(const NoticeThread&) = delete;

    // Any thread; never waits for a delivery.
    void Post(const std::string& title, const std::string& body);
    // True once nothing waits and nothing is being delivered; false after `timeoutMs`.
    bool WaitIdle(int timeoutMs);

private:
    void Run();

    Deliver deliver_;
    // The thread's stop; its lock guards the notice below.
    StopSignal stop_;
    std::condition_variable idleNow_;  // a delivery ended with nothing waiting
    bool waiting_ = false;             // title_ and body_ hold a notice
    bool delivering_ = false;
    std::string title_;
    std::string body_;
    std::thread thread_;  // started last, joined first
};

// Prints the line and a line feed on standard output, flushed; an empty line prints nothing.
void PrintNoticeLine(const std::string& line);
