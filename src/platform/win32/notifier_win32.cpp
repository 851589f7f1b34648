// The Windows program shows its own popup window for a login; this notifier only prints the
// notice, for console use and tests.
#include "platform/notice_thread.h"
#include "platform/notifier.h"

namespace {

class ConsoleConnectionNotifier : public ConnectionNotifier {
public:
    void Show(const std::string& title, const std::string& body) override {
        thread_.Post(title, body);
    }
    bool WaitUntilShown(int timeoutMs) override { return thread_.WaitIdle(timeoutMs); }

private:
    NoticeThread thread_{PrintConnectionNotice};
};

}  // namespace

std::unique_ptr<ConnectionNotifier> CreateConnectionNotifier() {
    return std::make_unique<ConsoleConnectionNotifier>();
}
