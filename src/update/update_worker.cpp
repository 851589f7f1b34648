#include "update/update_worker.h"

#include <chrono>

UpdateWorker::UpdateWorker(std::unique_ptr<UpdateFacts> facts,
                           std::unique_ptr<UpdateDialogue> dialogue,
                           std::unique_ptr<HttpClient> http, UpdateSettings settings)
    : facts_(std::move(facts)),
      dialogue_(std::move(dialogue)),
      http_(std::move(http)),
      updater_(*facts_, *dialogue_, *http_, std::move(settings)) {}

std::shared_ptr<UpdateWorker> UpdateWorker::Start(std::unique_ptr<UpdateFacts> facts,
                                                  std::unique_ptr<UpdateDialogue> dialogue,
                                                  std::unique_ptr<HttpClient> http,
                                                  UpdateSettings settings) {
    std::shared_ptr<UpdateWorker> worker(new UpdateWorker(std::move(facts), std::move(dialogue),
                                                          std::move(http), std::move(settings)));
    // The thread holds the worker until it returns.
    worker->thread_ = std::thread([keep = worker] {
        keep->updater_.UpdateThread();
        keep->finished_.Stop();
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
    return finished_.SleepFor(std::chrono::milliseconds(timeoutMs));
}

void UpdateWorker::Join() {
    if (thread_.joinable()) thread_.join();
}

void UpdateWorker::Detach() {
    if (thread_.joinable()) thread_.detach();
}
