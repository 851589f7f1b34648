#include "remote/present.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "remote/connection.h"
#include "remote/present_controller.h"
#include "remote/terminal.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kQueryEveryMs = 1000;
constexpr int kQueryAfterKeyMs = 200;  // the computer turns the slide a moment after the key
constexpr int kKeyWaitMs = 50;

constexpr const char* kKeyHelp =
    "Right/Space/PageDown next, Left/PageUp previous, number+Enter go to, b black, p pen, "
    "Esc end show, q quit";

// The status line: rewritten in place on a terminal, one line per change elsewhere.
class StatusLine {
public:
    explicit StatusLine(bool terminal) : terminal_(terminal) {}

    void Show(const std::string& text) {
        if (text == shown_) return;
        if (terminal_) {
            std::string out = "\r" + text;
            if (text.size() < shown_.size()) out.append(shown_.size() - text.size(), ' ');
            if (text.size() < shown_.size()) out += "\r" + text;
            std::fputs(out.c_str(), stdout);
        } else {
            std::printf("%s\n", text.c_str());
        }
        std::fflush(stdout);
        shown_ = text;
    }
    // Prints a line of its own above the status line.
    void Message(const std::string& text) {
        if (terminal_ && !shown_.empty()) std::fputs("\r\n", stdout);
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
        if (terminal_ && !shown_.empty()) {
            std::string again;
            again.swap(shown_);
            Show(again);
        }
    }
    void End() {
        if (terminal_ && !shown_.empty()) std::fputs("\r\n", stdout);
        std::fflush(stdout);
    }

private:
    bool terminal_;
    std::string shown_;
};

}  // namespace

int RunPresent(const RemoteOptions& options) {
    RemoteConnection connection;
    std::string where;
    int status = OpenSession(options, &connection, &where);
    if (status != kExitOk) return status;

    bool terminal = OutputIsTerminal();
    std::printf("Connected to %s.\n%s\n", where.c_str(), kKeyHelp);
    std::fflush(stdout);
    std::unique_ptr<KeySource> keys = OpenKeySource();
    StatusLine line(terminal);
    PresentController controller;

    auto now = Clock::now();
    auto nextQuery = now;
    auto nextHeartbeat = now + std::chrono::seconds(options.heartbeatSeconds);
    auto lastHeard = now;
    // Queries go out every second, so a computer that stays silent this long is gone.
    const auto silenceLimit = std::chrono::seconds(options.heartbeatSeconds * 2 + 5);
    int result = kExitOk;
    auto send = [&](const std::string& text) {
        if (connection.SendLine(text)) return true;
        line.End();
        Complain("the connection to " + where + " broke");
        result = kExitFailure;
        return false;
    };

    for (bool running = true; running;) {
        now = Clock::now();
        if (now >= nextHeartbeat) {
            if (!send("Heartbeat:")) break;
            nextHeartbeat = now + std::chrono::seconds(options.heartbeatSeconds);
        }
        if (now >= nextQuery) {
            if (!send(kSlideQuery)) break;
            nextQuery = now + std::chrono::milliseconds(kQueryEveryMs);
        }
        line.Show(controller.Status());

        auto until = std::min(nextQuery, nextHeartbeat);
        int wait = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
        Key key = keys->Next(std::clamp(wait, 0, kKeyWaitMs));
        if (key.code != KeyCode::kNone) {
            PresentController::Action action = controller.OnKey(key);
            for (const std::string& text : action.lines) {
                if (!send(text)) {
                    running = false;
                    break;
                }
            }
            if (!running) break;
            if (action.quit) break;
            if (action.navigated) {
                nextQuery =
                    std::min(nextQuery, Clock::now() + std::chrono::milliseconds(kQueryAfterKeyMs));
            }
        }

        std::string answer;
        for (;;) {
            RemoteConnection::Read r = connection.ReadLine(&answer, 0);
            if (r == RemoteConnection::Read::kTimedOut) break;
            if (r == RemoteConnection::Read::kClosed) {
                line.End();
                Complain(where + " closed the connection");
                result = kExitFailure;
                running = false;
                break;
            }
            lastHeard = Clock::now();
            if (controller.OnAnswer(answer) || answer == "Heartbeat:\n") continue;
            if (!answer.empty() && answer.back() == '\n') answer.pop_back();
            line.Message(answer);
        }
        if (running && Clock::now() - lastHeard > silenceLimit) {
            line.End();
            Complain(where + " stopped answering");
            result = kExitNoAnswer;
            running = false;
        }
    }
    if (result == kExitOk) {
        line.Show(controller.Status());
        line.End();
    }
    return result;
}
