// The update thread together with everything it uses. The owner stops it and then joins it, or,
// when the thread cannot end in time, detaches it: the thread keeps the worker alive until it
// returns, so nothing it touches is destroyed under it.
#pragma once

#include <memory>
#include <thread>

#include "platform/http_client.h"
#include "support/stop_signal.h"
#include "update/updater.h"

class UpdateWorker {
public:
    // Starts a thread running Updater::UpdateThread. Owner's thread.
    static std::shared_ptr<UpdateWorker> Start(std::unique_ptr<UpdateFacts> facts,
                                               std::unique_ptr<UpdateDialogue> dialogue,
                                               std::unique_ptr<HttpClient> http,
                                               UpdateSettings settings);
    // Stops and joins a thread still attached.
    ~UpdateWorker();
    UpdateWorker(const UpdateWorker&) = delete;
    UpdateWorker& operator=(const UpdateWorker&) = delete;

    // Ends the thread's waits and transfers. Any thread.
    void Stop() { updater_.Stop(); }
    // True once the thread has returned; false after `timeoutMs`. Any thread.
    bool WaitFinished(int timeoutMs);
    // Owner's thread, once, after Stop.
    void Join();
    void Detach();

    Updater& updater() { return updater_; }
    UpdateFacts& facts() { return *facts_; }
    UpdateDialogue& dialogue() { return *dialogue_; }

private:
    UpdateWorker(std::unique_ptr<UpdateFacts> facts, std::unique_ptr<UpdateDialogue> dialogue,
                 std::unique_ptr<HttpClient> http, UpdateSettings settings);

    const std::unique_ptr<UpdateFacts> facts_;
    const std::unique_ptr<UpdateDialogue> dialogue_;
    const std::unique_ptr<HttpClient> http_;
    Updater updater_;
    StopSignal finished_;  // set once the thread has returned
    std::thread thread_;
};
