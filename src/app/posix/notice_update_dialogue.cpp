#include "app/posix/notice_update_dialogue.h"

#include "support/text.h"
#include "support/trace.h"

NoticeUpdateDialogue::NoticeUpdateDialogue(std::unique_ptr<ConnectionNotifier> notifier)
    : notifier_(std::move(notifier)) {}

std::unique_ptr<ConnectionNotifier> CreateUpdateNotifier() {
    return CreateConnectionNotifier(nullptr);
}

std::string UpdateNoticeText(const std::string& url) {
    return "A new version is available: " + url;
}

bool NoticeUpdateDialogue::AskToUpdate(const std::string& url) {
    // The address comes from the update service: shown, never obeyed, by the terminal.
    TracePrintf("A new version of CorvaneServer is available: %s\n", EscapeControls(url).c_str());
    notifier_->Show(kUpdateNoticeTitle, UpdateNoticeText(url));
    return false;
}
