#include "update/update_worker.h"

#include <chrono>

UpdateWorker::UpdateWorker(std::unique_ptr<UpdateHost> host, std::unique_ptr<HttpClient> http,
                           UpdateSettings settings)
    : host_(std::move(host)),
      http_(std::move(http)),
      updater_(*host_, *http_, std::move(settings)) {}

std::shared_ptr<UpdateWorker> UpdateWorker::Start(std::unique_ptr<UpdateHost> host,
                                                  std::unique_ptr<HttpClient> http,
                                                  UpdateSettings settings) {
    std::shared_ptr<UpdateWorker> worker(
        new UpdateWorker(std::move(host), std::move(http), std::move(settings)));
    // The thread holds the worker until it returns.
    worker->thread_ = std::thread([keep = worker] {
        keep->updater_.UpdateThread();
        std::lock_guard<std::mutex> guard(keep->lock_);
        keep->finished_ = true;
        keep->finishedNow_.notify_all();
    });
    return worker;
}

UpdateWorker::~UpdateWorker() {
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id()) {
        // The owner let go without joining, and the thread's own reference was the last.
        thread_.detach();
        return;
    }
    // The thread's reference is gone, so it has returned: collect it.
    thread_.join();
}

bool UpdateWorker::WaitFinished(int timeoutMs) {
    std::unique_lock<std::mutex> hold(lock_);
    return finishedNow_.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                 [this] { return finished_; });
}

void UpdateWorker::Join() {
    if (thread_.joinable()) thread_.join();
}

void UpdateWorker::Detach() {
    if (thread_.joinable()) thread_.detach();
}
