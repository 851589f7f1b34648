#include "update/updater.h"

#include <chrono>
#include <exception>

#include "platform/version.h"
#include "support/log.h"
#include "support/trace.h"

bool UpdateHost::ProductVersion(std::uint16_t parts[4]) { return ReadProductVersion(parts); }

Updater::Updater(UpdateHost& host, HttpClient& http, UpdateSettings settings)
    : host_(host), http_(http), settings_(std::move(settings)) {
    wait = [this](int milliseconds) { return InterruptibleWait(milliseconds); };
}

bool Updater::InterruptibleWait(int milliseconds) {
    std::unique_lock<std::mutex> hold(waitLock_);
    wake_.wait_for(hold, std::chrono::milliseconds(milliseconds), [this] { return Stopping(); });
    return !Stopping();
}

void Updater::Stop() {
    {
        // Under the lock, so a waiter between its check and its sleep cannot miss the wake-up.
        std::lock_guard<std::mutex> guard(waitLock_);
        stopping_.store(true, std::memory_order_relaxed);
    }
    wake_.notify_all();
    http_.Cancel();
}

void Updater::UpdateThread() {
    if (settings_.serviceUrl.empty()) {
        TracePrintf(
            "No update service is configured (CORVANE_UPDATE_URL was empty when this "
            "program was built): it does not look for updates.\n");
        return;
    }
    host_.EnterUpdateThread();
    while (!Stopping()) {
        // A failure anywhere in a cycle ends that cycle only. (Faults the C++ runtime cannot
        // turn into exceptions, such as access violations, still end the program.)
        try {
            UpdateOnce();
        } catch (...) {
            TracePrintf("__except Excep... \n");
        }
        if (!wait(settings_.periodMs)) break;
    }
}

int Updater::UpdateOnce() {
    if (!wait(settings_.firstWaitMs)) return -1;
    TracePrintf("Doing Update....\n");
    std::string url;
    CheckForUpdate(&url);
    TracePrintf("UPDATE_URL=%s\n", url.c_str());
    if (url.empty()) {
        TracePrintf("URL is Empty\n");
        return -1;
    }
    TracePrintf("Begin DOwnload File...\n");
    // Never offer what would not be downloaded.
    if (!HttpUrlAllowed(url)) {
        LogPrintf("Update refused: the installer address %s is not https.\n", url.c_str());
        return -1;
    }
    if (!host_.AskToUpdate(url) || Stopping()) return -1;
    host_.BeginDownload();
    DownloadUpdate(url);
    host_.EndDownload();
    return 0;
}
