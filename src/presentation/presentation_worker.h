// The presentation worker: one thread that carries out presentation requests in the order they
// were posted and, after each second without requests, refreshes the slideshow facts.
#pragma once

#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

#include "presentation/presentation_request.h"
#include "support/stop_signal.h"

class msi_ppt;
class AutomationHost;
class InputInjector;

class PresentationWorker : public PresentationRequestSink {
public:
    // The objects must outlive the worker (Stop it before they go).
    PresentationWorker(msi_ppt& ppt, AutomationHost& host, InputInjector& input);
    ~PresentationWorker() override;

    // Starts the thread. Creator's thread.
    void Start();
    // Ends the thread after the request in hand; later requests are dropped and further posts
    // fail. Afterwards the worker touches nothing. Creator's thread.
    void Stop();
    // Queues a request and returns at once: 0, or kNoWorkerError when no worker runs. Any thread.
    int Post(const PresentationRequest& request) override;

    // How long the queue must stay empty before the idle refresh (tests shorten it).
    void SetIdleInterval(std::chrono::milliseconds interval) { idleInterval_ = interval; }

private:
    void ThreadMain();
    void Loop();
    void Handle(const PresentationRequest& request);
    void IdleTick();
    void PressKey(std::uint16_t virtualKey);
    void LeftButton(bool down);
    void ShowPenCursor(bool show);

    msi_ppt& ppt_;
    AutomationHost& host_;
    InputInjector& input_;
    std::chrono::milliseconds idleInterval_{1000};

    // The thread's stop; its lock guards the queue and running_.
    StopSignal stop_;
    std::deque<PresentationRequest> queue_;
    bool running_ = false;
    std::thread thread_;

    bool penCursorShown_ = false;  // worker thread only
};
