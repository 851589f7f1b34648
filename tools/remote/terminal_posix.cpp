#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "remote/terminal.h"

namespace {

constexpr int kEscapeWaitMs = 40;  // bytes of one key sequence arrive together

termios g_saved;
volatile sig_atomic_t g_raw = 0;

void RestoreTerminal() {
    if (g_raw) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
        g_raw = 0;
    }
}

void OnFatalSignal(int signal) {
    RestoreTerminal();
    ::signal(signal, SIG_DFL);
    raise(signal);
}

class PosixKeySource : public KeySource {
public:
    PosixKeySource() {
        if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &g_saved) == 0) {
            termios raw = g_saved;
            // Key by key, no echo; Ctrl+C and Ctrl+Z arrive as keys. Output processing stays
            // on, so "\n" still starts a new line.
            raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
            raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | ISTRIP);
            raw.c_cc[VMIN] = 1;
            raw.c_cc[VTIME] = 0;
            for (int s : {SIGTERM, SIGHUP, SIGQUIT}) signal(s, OnFatalSignal);
            if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) == 0) g_raw = 1;
        }
    }
    ~PosixKeySource() override { RestoreTerminal(); }

    Key Next(int timeoutMs) override {
        Key key;
        for (;;) {
            if (!pending_.empty()) {
                std::size_t used = DecodeKey(pending_, ended_, &key);
                if (used == 0 && !ended_) {
                    // The start of a sequence: its rest follows at once, or it was Escape.
                    if (Fill(kEscapeWaitMs) <= 0) used = DecodeKey(pending_, true, &key);
                }
                if (used > 0) {
                    pending_.erase(0, used);
                    return key;
                }
                continue;
            }
            if (ended_) return Key{KeyCode::kEndOfInput, 0};
            if (Fill(timeoutMs) <= 0) return ended_ ? Key{KeyCode::kEndOfInput, 0} : Key{};
        }
    }

private:
    // Reads what standard input has within `timeoutMs`; the count read (0 on time-out).
    int Fill(int timeoutMs) {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        int ready = poll(&p, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) return 0;
        if (ready < 0) {
            ended_ = true;
            return -1;
        }
        if (ready == 0) return 0;
        char buffer[256];
        ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return 0;
        if (n <= 0) {
            ended_ = true;
            return -1;
        }
        pending_.append(buffer, static_cast<std::size_t>(n));
        return static_cast<int>(n);
    }

    std::string pending_;
    bool ended_ = false;
};

}  // namespace

std::unique_ptr<KeySource> OpenKeySource() { return std::make_unique<PosixKeySource>(); }

bool OutputIsTerminal() { return isatty(STDOUT_FILENO) != 0; }
