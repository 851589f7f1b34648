// The desktop notice shown when a phone logs in.
#pragma once

#include <memory>
#include <string>

// The notice's fixed second line ("has connected"), in UTF-8: the program's narrow text on
// Linux. The Windows program shows its own popup with this line from its resources.
constexpr const char* kConnectedNoticeBody = "已经连上来了";

class ConnectionNotifier {
public:
    virtual ~ConnectionNotifier() = default;

    // Shows a notice with the phone's name over `body` (narrow program text), replacing the
    // notice shown before. Any thread; returns at once, the notice follows on a thread of the
    // notifier's own. When several arrive before that thread gets to them, the latest wins.
    virtual void Show(const std::string& title, const std::string& body) = 0;

    // Waits until every notice handed to Show so far has been shown (or printed), at most
    // `timeoutMs`. True when nothing is left. Any thread.
    virtual bool WaitUntilShown(int timeoutMs) = 0;
};

// The standard-output line a notifier prints for a notice that no notification service shows
// (without its line feed); an empty text, or no function at all, prints nothing. Runs on the
// notifier's thread.
using NoticeConsoleLine = std::string (*)(const std::string& title, const std::string& body);

// The login notice's line, "Connected: <title> <body>", with control characters of the phone's
// text escaped.
std::string ConnectedNoticeLine(const std::string& title, const std::string& body);

// Linux: a desktop notification through libnotify when it is installed and a notification
// service answers on the session bus; otherwise, and on Windows, `consoleLine` of the notice on
// standard output.
std::unique_ptr<ConnectionNotifier> CreateConnectionNotifier(
    NoticeConsoleLine consoleLine = ConnectedNoticeLine);
