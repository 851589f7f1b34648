#include "app/posix/notice_update_dialogue.h"

#include "support/trace.h"

NoticeUpdateDialogue::NoticeUpdateDialogue(std::unique_ptr<ConnectionNotifier> notifier)
    : notifier_(std::move(notifier)) {}

std::string UpdateNoticeText(const std::string& url) {
    return "A new version is available: " + url;
}

bool NoticeUpdateDialogue::AskToUpdate(const std::string& url) {
    TracePrintf("A new version of CorvaneServer is available: %s\n", url.c_str());
    notifier_->Show(kUpdateNoticeTitle, UpdateNoticeText(url));
    return false;
}
