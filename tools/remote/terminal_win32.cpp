#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

#include "platform/detached_thread.h"
#include "remote/terminal.h"

namespace {

constexpr int kEscapeWaitMs = 40;

Key Make(KeyCode code, char ch = 0) {
    Key k;
    k.code = code;
    k.ch = ch;
    return k;
}

// The console: key events, with line input, echo and Ctrl+C processing switched off.
class ConsoleKeySource : public KeySource {
public:
    ConsoleKeySource(HANDLE input, DWORD savedMode) : input_(input), saved_(savedMode) {
        SetConsoleMode(input_,
                       savedMode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT |
                                                       ENABLE_PROCESSED_INPUT));
    }
    ~ConsoleKeySource() override { SetConsoleMode(input_, saved_); }

    Key Next(int timeoutMs) override {
        DWORD start = GetTickCount();
        for (;;) {
            DWORD elapsed = GetTickCount() - start;
            DWORD wait = elapsed >= static_cast<DWORD>(timeoutMs)
                             ? 0
                             : static_cast<DWORD>(timeoutMs) - elapsed;
            if (WaitForSingleObject(input_, wait) != WAIT_OBJECT_0) return Key{};
            INPUT_RECORD record;
            DWORD count = 0;
            if (!ReadConsoleInputW(input_, &record, 1, &count) || count == 0) {
                return Make(KeyCode::kEndOfInput);
            }
            if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
            const KEY_EVENT_RECORD& k = record.Event.KeyEvent;
            switch (k.wVirtualKeyCode) {
                case VK_RIGHT:
                    return Make(KeyCode::kRight);
                case VK_LEFT:
                    return Make(KeyCode::kLeft);
                case VK_UP:
                    return Make(KeyCode::kUp);
                case VK_DOWN:
                    return Make(KeyCode::kDown);
                case VK_NEXT:
                    return Make(KeyCode::kPageDown);
                case VK_PRIOR:
                    return Make(KeyCode::kPageUp);
                case VK_RETURN:
                    return Make(KeyCode::kEnter);
                case VK_ESCAPE:
                    return Make(KeyCode::kEscape);
                case VK_BACK:
                    return Make(KeyCode::kBackspace);
                default:
                    break;
            }
            wchar_t ch = k.uChar.UnicodeChar;
            if (ch == 3) return Make(KeyCode::kInterrupt);
            if (ch == 4 || ch == 26) return Make(KeyCode::kEndOfInput);
            if (ch >= 0x20 && ch < 0x7f) return Make(KeyCode::kChar, static_cast<char>(ch));
        }
    }

private:
    HANDLE input_;
    DWORD saved_;
};

// A pipe or a file: a thread reads the bytes (a pipe cannot be waited on with a time-out) and
// they are decoded like a terminal's.
class PipeKeySource : public KeySource {
public:
    explicit PipeKeySource(HANDLE input) : input_(input) {
        // Without a reader the input counts as ended.
        if (!StartDetachedThread([this] { ReadLoop(); })) ended_ = true;
    }

    Key Next(int timeoutMs) override {
        std::unique_lock<std::mutex> lock(lock_);
        Key key;
        for (;;) {
            if (!pending_.empty()) {
                std::size_t used = DecodeKey(pending_, ended_, &key);
                if (used == 0) {
                    arrived_.wait_for(lock, std::chrono::milliseconds(kEscapeWaitMs));
                    used = DecodeKey(pending_, true, &key);
                }
                pending_.erase(0, used);
                return key;
            }
            if (ended_) return Make(KeyCode::kEndOfInput);
            if (!arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [this] { return ended_ || !pending_.empty(); })) {
                return Key{};
            }
        }
    }

private:
    // The reader outlives the source when the program quits before the input ends; the
    // process exit ends it.
    void ReadLoop() {
        for (;;) {
            char buffer[256];
            DWORD n = 0;
            bool ok = ReadFile(input_, buffer, sizeof buffer, &n, nullptr) && n > 0;
            std::lock_guard<std::mutex> guard(lock_);
            if (!ok) {
                ended_ = true;
                arrived_.notify_all();
                return;
            }
            pending_.append(buffer, n);
            arrived_.notify_all();
        }
    }

    HANDLE input_;
    std::mutex lock_;
    std::condition_variable arrived_;
    std::string pending_;
    bool ended_ = false;
};

}  // namespace

std::unique_ptr<KeySource> OpenKeySource() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode)) {
        return std::make_unique<ConsoleKeySource>(input, mode);
    }
    // A static source: its reader thread may still run when main returns.
    static PipeKeySource* piped = new PipeKeySource(input);
    struct Borrowed : KeySource {
        Key Next(int timeoutMs) override { return piped->Next(timeoutMs); }
    };
    return std::make_unique<Borrowed>();
}

bool OutputIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}
