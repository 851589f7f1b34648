#include "platform/notice_thread.h"

#include <chrono>
#include <cstdio>

#include "platform/notifier.h"
#include "support/text.h"

NoticeThread::NoticeThread(Deliver deliver) : deliver_(std::move(deliver)) {
    thread_ = std::thread([this] { Run(); });
}

NoticeThread::~NoticeThread() {
    stop_.Stop();
    thread_.join();
}

void NoticeThread::Post(const std::string& title, const std::string& body) {
    {
        std::lock_guard<std::mutex> guard(stop_.Lock());
        title_ = title;
        body_ = body;
        waiting_ = true;
    }
    stop_.Notify();
}

bool NoticeThread::WaitIdle(int timeoutMs) {
    std::unique_lock<std::mutex> hold(stop_.Lock());
    return idleNow_.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                             [this] { return !waiting_ && !delivering_; });
}

void NoticeThread::Run() {
    std::unique_lock<std::mutex> hold(stop_.Lock());
    for (;;) {
        stop_.Wait(hold, [this] { return waiting_; });
        if (stop_.Stopped()) break;
        std::string title = std::move(title_);
        std::string body = std::move(body_);
        waiting_ = false;
        delivering_ = true;
        hold.unlock();
        deliver_(title, body);
        hold.lock();
        delivering_ = false;
        if (!waiting_) idleNow_.notify_all();
    }
    // Nobody waits for a notice that will never come.
    waiting_ = false;
    idleNow_.notify_all();
}

void PrintNoticeLine(const std::string& line) {
    if (line.empty()) return;
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string ConnectedNoticeLine(const std::string& title, const std::string& body) {
    return "Connected: " + EscapeControls(title) + " " + EscapeControls(body);
}
