// The updater's host in the program without windows (Linux): the form's values come from the
// application, and the question becomes a desktop notice naming the new version's address. The
// answer is always No: nothing is downloaded or run there.
#pragma once

#include <memory>

#include "platform/notifier.h"
#include "update/updater.h"

class CorvaneApplication;

class NoticeUpdateHost : public UpdateHost {
public:
    // The application must outlive the host.
    NoticeUpdateHost(CorvaneApplication& application, std::unique_ptr<ConnectionNotifier> notifier);

    std::string HardwareAddress() override;
    std::string ComputerName() override;
    std::string PresentationPrograms() override;
    std::string OfficeInitErrors() override;
    bool AskToUpdate(const std::string& url) override;
    void BeginDownload() override {}
    void EndDownload() override {}
    void PostProgress(std::int64_t, std::int64_t) override {}
    bool CancelRequested() override { return false; }
    std::string DownloadFilePath() override;
    void StartInstaller(const std::string& path) override;
    void SendShutdown() override {}

private:
    CorvaneApplication& application_;
    std::unique_ptr<ConnectionNotifier> notifier_;
};

// The notice's title and text for a new version at `url`.
inline constexpr const char* kUpdateNoticeTitle = "CorvaneServer update";
std::string UpdateNoticeText(const std::string& url);
