#include <windows.h>

#include <bitset>
#include <mutex>
#include <set>

#include "platform/input.h"

namespace {

// Any thread. One lock covers the system calls and the record of what we hold down, so that a
// command's keys stay together and ReleaseAll sees a settled state.
class Win32InputInjector : public InputInjector {
public:
    void MouseEvent(std::uint32_t flags, std::int32_t dx, std::int32_t dy,
                    std::int32_t wheelData) override {
        std::lock_guard<std::mutex> guard(lock_);
        mouse_event(flags, static_cast<DWORD>(dx), static_cast<DWORD>(dy),
                    static_cast<DWORD>(wheelData), 0);
        // The system keeps one state per button: a second down needs no second up.
        for (const ButtonFlags& button : kButtons) {
            if (flags & button.down) buttonsDown_ |= button.down;
            if (flags & button.up) buttonsDown_ &= ~button.down;
        }
    }

    void SetCursorPosition(int x, int y) override {
        std::lock_guard<std::mutex> guard(lock_);
        SetCursorPos(x, y);
    }

    bool CursorPosition(int* x, int* y) override {
        POINT point{};
        if (!GetCursorPos(&point)) return false;
        *x = point.x;
        *y = point.y;
        return true;
    }

    void Key(const KeyRecord& key) override {
        std::lock_guard<std::mutex> guard(lock_);
        Send(key);
    }

    void Keys(std::span<const KeyRecord> keys) override {
        std::lock_guard<std::mutex> guard(lock_);
        for (const KeyRecord& key : keys) Send(key);
    }

    void ReleaseAll() override {
        std::lock_guard<std::mutex> guard(lock_);
        for (const ButtonFlags& button : kButtons) {
            if (buttonsDown_ & button.down) mouse_event(button.up, 0, 0, 0, 0);
        }
        buttonsDown_ = 0;
        for (unsigned code = 0; code < keysDown_.size(); ++code) {
            if (keysDown_[code]) Send({static_cast<std::uint16_t>(code), 0, false, true});
        }
        const std::set<std::uint16_t> units = unitsDown_;
        for (std::uint16_t unit : units) Send({0, unit, true, true});
    }

    bool ScreenSize(int* width, int* height) override {
        *width = GetSystemMetrics(SM_CXSCREEN);
        *height = GetSystemMetrics(SM_CYSCREEN);
        return *width > 0 && *height > 0;
    }

private:
    struct ButtonFlags {
        std::uint32_t down, up;
    };
    static constexpr ButtonFlags kButtons[] = {{kMouseLeftDown, kMouseLeftUp},
                                               {kMouseRightDown, kMouseRightUp},
                                               {kMouseMiddleDown, kMouseMiddleUp}};

    // One record per call, as the system's own keyboard would deliver them. Under lock_.
    void Send(const KeyRecord& key) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key.unicode ? 0 : key.virtualKey;
        input.ki.wScan = key.unicode ? key.unit : 0;
        input.ki.dwFlags = (key.unicode ? KEYEVENTF_UNICODE : 0) | (key.up ? KEYEVENTF_KEYUP : 0);
        SendInput(1, &input, sizeof input);
        if (key.unicode) {
            if (key.up) {
                unitsDown_.erase(key.unit);
            } else {
                unitsDown_.insert(key.unit);
            }
        } else if (key.virtualKey < keysDown_.size()) {
            keysDown_[key.virtualKey] = !key.up;
        }
    }

    std::mutex lock_;
    std::uint32_t buttonsDown_ = 0;      // down flags of the buttons we hold
    std::bitset<256> keysDown_;          // virtual keys we hold
    std::set<std::uint16_t> unitsDown_;  // typed characters whose up has not been sent
};

}  // namespace

std::unique_ptr<InputInjector> CreateSystemInputInjector() {
    return std::make_unique<Win32InputInjector>();
}
