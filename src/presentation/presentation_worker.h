// The presentation worker: one thread that carries out presentation requests in the order they
// were posted and, after each second without requests, refreshes the slideshow facts.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
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

    // At most this many requests wait; a post beyond them is refused, as the system refuses a
    // message to a thread whose queue is full, so a flood of commands cannot grow memory.
    static constexpr std::size_t kQueueLimit = 10000;

    // Starts the thread. Creator's thread.
    void Start();
    // Ends the thread after the request in hand; later requests are dropped and further posts
    // fail. Afterwards the worker touches nothing. Waits as long as that request takes.
    // Creator's thread.
    void Stop();
    // The same, but waits at most `limit` for the request in hand, calling `whileWaiting` every
    // few milliseconds meanwhile (the Windows program answers its window's messages there).
    // True when the thread has ended. False when it is stuck in a call (a hung presentation
    // program): it is left running and still uses this object and the objects given at
    // construction, so the caller must never free any of them. Creator's thread.
    bool Stop(std::chrono::milliseconds limit, const std::function<void()>& whileWaiting = {});
    // Queues a request and returns at once: 0, kNoWorkerError when no worker runs, or
    // kQueueFullError when kQueueLimit requests wait already (logged at most once a second).
    // Any thread.
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

    // The thread's stop; its lock guards the queue, running_ and the refusal counts.
    StopSignal stop_;
    std::deque<PresentationRequest> queue_;
    bool running_ = false;
    std::uint32_t refusedSinceLine_ = 0;
    StopSignal::Clock::time_point lastRefusalLine_{};
    std::thread thread_;
    // Set by the thread as its very last act.
    StopSignal ended_;

    bool penCursorShown_ = false;  // worker thread only
};
