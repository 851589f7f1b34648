// The updater's facts and dialogue in one object that records what the updater does, as text,
// for assertions. The update thread writes while a test reads, so everything goes through one
// lock.
#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "update/updater.h"

class RecordingUpdateHost : public UpdateFacts, public UpdateDialogue {
public:
    // The form's values and the version the host reports (1.0.1.52 sends "1.52").
    std::string hardwareAddress = "00-1A-2B-3C-4D-5E";
    std::string computerName = "OFFICE-PC";
    std::string programs = "ms";
    std::string officeErrors;
    bool versionReadable = true;
    std::uint16_t version[4] = {1, 0, 1, 52};
    // The user's answer to the question.
    bool answer = true;
    // CancelRequested turns true once this many progress posts were made (0: never).
    int cancelAfterPosts = 0;
    // Where the installer goes.
    std::string downloadPath;
    // That many cycles fail with an exception while the form is put together.
    int throwOnForm = 0;
    // Runs inside AskToUpdate (tests stop the updater from there).
    std::function<void()> onAsk;

    // "ask <url>", "begin", "progress <received>/<total>", "install <path>", "shutdown", "end".
    std::vector<std::string> Events() {
        std::lock_guard<std::mutex> guard(lock_);
        return events_;
    }
    int Posts() {
        std::lock_guard<std::mutex> guard(lock_);
        return posts_;
    }

    bool ProductVersion(std::uint16_t parts[4]) override {
        for (int i = 0; i < 4; ++i) parts[i] = version[i];
        return versionReadable;
    }
    std::string HardwareAddress() override {
        std::lock_guard<std::mutex> guard(lock_);
        if (throwOnForm > 0) {
            --throwOnForm;
            throw std::runtime_error("no adapter");
        }
        return hardwareAddress;
    }
    std::string ComputerName() override { return computerName; }
    std::string PresentationPrograms() override { return programs; }
    std::string OfficeInitErrors() override { return officeErrors; }
    bool AskToUpdate(const std::string& url) override {
        Add("ask " + url);
        if (onAsk) onAsk();
        return answer;
    }
    void BeginDownload() override { Add("begin"); }
    void EndDownload() override { Add("end"); }
    void PostProgress(std::int64_t received, std::int64_t total) override {
        char text[64];
        std::snprintf(text, sizeof text, "progress %lld/%lld", static_cast<long long>(received),
                      static_cast<long long>(total));
        std::lock_guard<std::mutex> guard(lock_);
        events_.push_back(text);
        ++posts_;
    }
    bool CancelRequested() override {
        std::lock_guard<std::mutex> guard(lock_);
        return cancelAfterPosts > 0 && posts_ >= cancelAfterPosts;
    }
    std::string DownloadFilePath() override { return downloadPath; }
    void StartInstaller(const std::string& path) override { Add("install " + path); }
    void SendShutdown() override { Add("shutdown"); }

private:
    void Add(std::string event) {
        std::lock_guard<std::mutex> guard(lock_);
        events_.push_back(std::move(event));
    }
    std::mutex lock_;
    std::vector<std::string> events_;
    int posts_ = 0;
};
