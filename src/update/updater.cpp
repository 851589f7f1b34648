#include "update/updater.h"

#include <chrono>
#include <exception>

#include "platform/version.h"
#include "support/log.h"
#include "support/text.h"
#include "support/trace.h"

bool UpdateFacts::ProductVersion(std::uint16_t parts[4]) { return ReadProductVersion(parts); }

Updater::Updater(UpdateFacts& facts, UpdateDialogue& dialogue, HttpClient& http,
                 UpdateSettings settings)
    : facts_(facts), dialogue_(dialogue), http_(http), settings_(std::move(settings)) {
    wait = [this](int milliseconds) {
        return !stop_.SleepFor(std::chrono::milliseconds(milliseconds));
    };
}

void Updater::Stop() {
    stop_.Stop();
    http_.Cancel();
}

void Updater::UpdateThread() {
    if (settings_.serviceUrl.empty()) {
        TracePrintf(
            "No update service is configured (CORVANE_UPDATE_URL was empty when this "
            "program was built): it does not look for updates.\n");
        return;
    }
    facts_.EnterUpdateThread();
    dialogue_.EnterUpdateThread();
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
    TracePrintf("UPDATE_URL=%s\n", EscapeControls(url).c_str());
    if (url.empty()) {
        TracePrintf("URL is Empty\n");
        return -1;
    }
    TracePrintf("Begin DOwnload File...\n");
    // Never offer what would not be downloaded.
    if (!HttpUrlAllowed(url)) {
        LogPrintf("Update refused: the installer address %s is not https.\n",
                  EscapeControls(url).c_str());
        return -1;
    }
    if (!dialogue_.AskToUpdate(url) || Stopping()) return -1;
    dialogue_.BeginDownload();
    DownloadUpdate(url);
    dialogue_.EndDownload();
    return 0;
}
