// The updater's dialogue in the program without windows (Linux): the question becomes a desktop
// notice naming the new version's address, and the answer is always No. Nothing is downloaded
// or run there, so the download's side keeps its defaults.
#pragma once

#include <memory>

#include "platform/notifier.h"
#include "update/updater.h"

class NoticeUpdateDialogue : public UpdateDialogue {
public:
    explicit NoticeUpdateDialogue(std::unique_ptr<ConnectionNotifier> notifier);

    bool AskToUpdate(const std::string& url) override;

private:
    std::unique_ptr<ConnectionNotifier> notifier_;
};

// The notifier for update notices: without a notification service it prints nothing, since
// AskToUpdate prints the update's own line in any case.
std::unique_ptr<ConnectionNotifier> CreateUpdateNotifier();

// The notice's title and text for a new version at `url`.
inline constexpr const char* kUpdateNoticeTitle = "CorvaneServer update";
std::string UpdateNoticeText(const std::string& url);
