#include <windows.h>

#include "platform/input.h"

namespace {

class Win32InputInjector : public InputInjector {
public:
    void MouseEvent(std::uint32_t flags, std::int32_t dx, std::int32_t dy,
                    std::int32_t wheelData) override {
        mouse_event(flags, static_cast<DWORD>(dx), static_cast<DWORD>(dy),
                    static_cast<DWORD>(wheelData), 0);
    }

    void SetCursorPosition(int x, int y) override { SetCursorPos(x, y); }

    void Key(const KeyRecord& key) override {
        // One record per call, as the system's own keyboard would deliver them.
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key.unicode ? 0 : key.virtualKey;
        input.ki.wScan = key.unicode ? key.unit : 0;
        input.ki.dwFlags = (key.unicode ? KEYEVENTF_UNICODE : 0) | (key.up ? KEYEVENTF_KEYUP : 0);
        SendInput(1, &input, sizeof input);
    }

    bool ScreenSize(int* width, int* height) override {
        *width = GetSystemMetrics(SM_CXSCREEN);
        *height = GetSystemMetrics(SM_CYSCREEN);
        return *width > 0 && *height > 0;
    }
};

}  // namespace

std::unique_ptr<InputInjector> CreateSystemInputInjector() {
    return std::make_unique<Win32InputInjector>();
}
