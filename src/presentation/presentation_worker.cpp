#include "presentation/presentation_worker.h"

#include <exception>

#include "platform/automation_host.h"
#include "platform/input.h"
#include "presentation/msi_ppt.h"
#include "support/log.h"

PresentationWorker::PresentationWorker(msi_ppt& ppt, AutomationHost& host, InputInjector& input)
    : ppt_(ppt), host_(host), input_(input) {}

PresentationWorker::~PresentationWorker() { Stop(); }

void PresentationWorker::Start() {
    std::lock_guard<std::mutex> guard(stop_.Lock());
    if (running_) return;
    running_ = true;
    stop_.Reset();
    ended_.Reset();
    thread_ = std::thread(&PresentationWorker::ThreadMain, this);
}

void PresentationWorker::Stop() { Stop(std::chrono::milliseconds::max()); }

bool PresentationWorker::Stop(std::chrono::milliseconds limit,
                              const std::function<void()>& whileWaiting) {
    {
        std::lock_guard<std::mutex> guard(stop_.Lock());
        if (!running_) return true;
    }
    // From here on posts fail; what is still queued is dropped.
    stop_.Stop();
    {
        std::lock_guard<std::mutex> guard(stop_.Lock());
        queue_.clear();
    }
    if (!thread_.joinable()) return false;  // left behind by an earlier Stop
    const auto deadline = limit == std::chrono::milliseconds::max()
                              ? StopSignal::Clock::time_point::max()
                              : StopSignal::Clock::now() + limit;
    constexpr auto kAnswerEvery = std::chrono::milliseconds(10);
    while (!ended_.Stopped() && StopSignal::Clock::now() < deadline) {
        auto until = deadline;
        if (whileWaiting && deadline - StopSignal::Clock::now() > kAnswerEvery) {
            until = StopSignal::Clock::now() + kAnswerEvery;
        }
        ended_.SleepUntil(until);
        if (whileWaiting) whileWaiting();
    }
    if (!ended_.Stopped()) {
        // Freeing what the thread uses would crash it when the call returns; it keeps them.
        LogPrintf(
            "The presentation program did not return within %d ms; its worker is left "
            "behind.\n",
            static_cast<int>(limit.count()));
        thread_.detach();
        return false;
    }
    thread_.join();
    std::lock_guard<std::mutex> guard(stop_.Lock());
    running_ = false;
    return true;
}

int PresentationWorker::Post(const PresentationRequest& request) {
    bool noteRefusal = false;
    std::uint32_t refused = 0;
    {
        std::lock_guard<std::mutex> guard(stop_.Lock());
        if (!running_ || stop_.Stopped()) return kNoWorkerError;
        if (queue_.size() < kQueueLimit) {
            queue_.push_back(request);
        } else {
            ++refusedSinceLine_;
            const auto now = StopSignal::Clock::now();
            if (lastRefusalLine_ == StopSignal::Clock::time_point{} ||
                now - lastRefusalLine_ >= std::chrono::seconds(1)) {
                lastRefusalLine_ = now;
                noteRefusal = true;
                refused = refusedSinceLine_;
                refusedSinceLine_ = 0;
            }
            if (!noteRefusal) return kQueueFullError;
        }
    }
    if (noteRefusal) {
        LogPrintf(
            "Presentation requests refused: %u waiting already; %u refused since the last "
            "such line.\n",
            static_cast<unsigned>(kQueueLimit), static_cast<unsigned>(refused));
        return kQueueFullError;
    }
    stop_.Notify();
    return 0;
}

void PresentationWorker::ThreadMain() {
    for (;;) {
        try {
            Loop();
            // Automation references belong to this thread: let them go here.
            ppt_.app.reset();
            break;
        } catch (...) {
            // Whatever went wrong in one request must not end the worker: start over.
            LogPrintf("Do PowerPoint [__except] Exception.\n");
        }
    }
    ended_.Stop();
}

void PresentationWorker::Loop() {
    host_.EnterWorkerThread();
    penCursorShown_ = false;
    std::unique_lock<std::mutex> guard(stop_.Lock());
    for (;;) {
        bool woken = stop_.WaitUntil(guard, StopSignal::Clock::now() + idleInterval_,
                                     [this] { return !queue_.empty(); });
        if (stop_.Stopped()) return;
        if (woken) {
            // Drain everything queued before looking at the clock again.
            while (!queue_.empty()) {
                PresentationRequest request = queue_.front();
                queue_.pop_front();
                guard.unlock();
                Handle(request);
                guard.lock();
                if (stop_.Stopped()) return;
            }
            continue;
        }
        guard.unlock();
        IdleTick();
        guard.lock();
    }
}

void PresentationWorker::IdleTick() {
    ppt_.RefreshShowInfo();
    if (penCursorShown_ && ppt_.attached == 0) {
        host_.RestoreSystemCursors();
        penCursorShown_ = false;
    } else if (!penCursorShown_ && ppt_.attached != 0 && ppt_.mode == MODE_PRE_DRAW) {
        host_.InstallPenCursor();
        penCursorShown_ = true;
    }
}

void PresentationWorker::PressKey(std::uint16_t virtualKey) {
    // Down and up: a key left down would repeat and stay held on the presenter's computer.
    input_.Key({virtualKey, 0, false, false});
    input_.Key({virtualKey, 0, false, true});
    input_.Flush();
}

void PresentationWorker::LeftButton(bool down) {
    input_.MouseEvent(down ? kMouseLeftDown : kMouseLeftUp, 0, 0, 0);
    input_.Flush();
}

void PresentationWorker::ShowPenCursor(bool show) {
    if (show) {
        host_.InstallPenCursor();
    } else {
        host_.RestoreSystemCursors();
    }
    penCursorShown_ = show;
}

void PresentationWorker::Handle(const PresentationRequest& request) {
    switch (request.message) {
        case PR_NEXT_PAGE:
            if (ppt_.Navigate(NavigateDirection::kNext) == 0) PressKey(kVkRight);
            break;
        case PR_PREV_PAGE:
            if (ppt_.Navigate(NavigateDirection::kPrevious) == 0) PressKey(kVkLeft);
            break;
        case PR_EXPLORER:
            ppt_.Run();
            ppt_.SetState(MODE_ARROW);
            ShowPenCursor(false);
            break;
        case PR_PRE_DRAW:
            ShowPenCursor(true);
            ppt_.Run();
            ppt_.SetState(MODE_PRE_DRAW);
            break;
        case PR_DRAW_DOWN:
            ppt_.Run();
            ppt_.SetState(MODE_PEN);
            // Placed here, in the requests' order: after the previous stroke's last segment and
            // with the show up and in front, where its window's position is known.
            if (request.lParam == kDrawStartAtPoint) ppt_.PlacePointer(request.wParam);
            LeftButton(true);
            break;
        case PR_DRAW_UP:
            LeftButton(false);
            ppt_.Run();
            if (request.lParam == 0) ppt_.SetState(MODE_PRE_DRAW);
            break;
        case PR_GOTO_PAGE:
            ppt_.GotoPage(static_cast<std::int32_t>(request.wParam));
            break;
        case PR_CHANGE_STATE:
            switch (request.wParam) {
                case 0:
                    ppt_.Run();
                    ppt_.SetState(MODE_ARROW);
                    ShowPenCursor(false);
                    break;
                case 1:
                    ppt_.Run();
                    ppt_.SetState(MODE_PEN);
                    break;
                case 2:
                    ppt_.Run();
                    ppt_.SetState(MODE_ARROW);
                    ShowPenCursor(true);
                    break;
                case 3:
                    ppt_.Run();
                    ppt_.SetState(MODE_BLACK);
                    break;
                default:
                    break;
            }
            break;
        case PR_DRAW_LINE:
            ppt_.DrawSegment(request.wParam, request.lParam);
            break;
        case PR_CHECK_END:
            if (ppt_.RefreshShowInfo() == 1) ppt_.QuitIfPastEnd();
            break;
        case PR_QUIT:
            if (ppt_.RefreshShowInfo() == 1) {
                ppt_.Quit();
            } else {
                PressKey(kVkEscape);
            }
            break;
        default:
            break;  // not a request of ours
    }
}
