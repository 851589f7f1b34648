#include "update/notice_update_host.h"

#include <cstdlib>

#include "presentation/msi_ppt.h"
#include "shell/application.h"
#include "support/log.h"
#include "support/trace.h"

NoticeUpdateHost::NoticeUpdateHost(CorvaneApplication& application,
                                   std::unique_ptr<ConnectionNotifier> notifier)
    : application_(application), notifier_(std::move(notifier)) {}

// Written once during start-up, before the update thread exists.
std::string NoticeUpdateHost::HardwareAddress() { return application_.HardwareAddressText; }

std::string NoticeUpdateHost::ComputerName() { return application_.ComputerName(); }

std::string NoticeUpdateHost::PresentationPrograms() {
    return DetectPresentationPrograms(application_.automation());
}

std::string NoticeUpdateHost::OfficeInitErrors() { return ReadOfficeInitErrors(); }

std::string UpdateNoticeText(const std::string& url) {
    return "A new version is available: " + url;
}

bool NoticeUpdateHost::AskToUpdate(const std::string& url) {
    TracePrintf("A new version of CorvaneServer is available: %s\n", url.c_str());
    notifier_->Show(kUpdateNoticeTitle, UpdateNoticeText(url));
    return false;
}

std::string NoticeUpdateHost::DownloadFilePath() {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/Slidora.exe";
}

void NoticeUpdateHost::StartInstaller(const std::string& path) {
    LogPrintf("Update: %s is a Windows installer; it is not started here.\n", path.c_str());
}
