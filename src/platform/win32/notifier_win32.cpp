// The Windows program shows its own popup window for a login; this notifier only prints the
// notice, for console use and tests.
#include "platform/notice_thread.h"
#include "platform/notifier.h"

namespace {

class ConsoleConnectionNotifier : public ConnectionNotifier {
public:
    explicit ConsoleConnectionNotifier(NoticeConsoleLine consoleLine) : consoleLine_(consoleLine) {}

    void Show(const std::string& title, const std::string& body) override {
        thread_.Post(title, body);
    }
    bool WaitUntilShown(int timeoutMs) override { return thread_.WaitIdle(timeoutMs); }

private:
    const NoticeConsoleLine consoleLine_;  // declared before the thread that uses it
    NoticeThread thread_{[this](const std::string& title, const std::string& body) {
        if (consoleLine_ != nullptr) PrintNoticeLine(consoleLine_(title, body));
    }};
};

}  // namespace

std::unique_ptr<ConnectionNotifier> CreateConnectionNotifier(NoticeConsoleLine consoleLine) {
    return std::make_unique<ConsoleConnectionNotifier>(consoleLine);
}
