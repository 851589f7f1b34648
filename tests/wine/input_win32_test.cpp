// The Win32 input injector against the real user32 (under Wine in CI).
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "desktop.h"
#include "platform/input.h"

namespace {

struct Seen {
    UINT message;
    WPARAM wParam;
};
std::vector<Seen> g_seen;

LRESULT CALLBACK RecordKeys(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR) {
        g_seen.push_back({message, wParam});
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A focused top-level window that records its keyboard messages.
class KeyWindow {
public:
    KeyWindow() {
        window_ = CreateTestWindow(L"CorvaneKeyTest", RecordKeys, L"keys",
                                   WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200);
        SetForegroundWindow(window_);
        SetFocus(window_);
        Pump();
        g_seen.clear();
    }
    ~KeyWindow() { DestroyWindow(window_); }
    HWND handle() const { return window_; }
    // Handles what is queued, waiting a little for events still on their way.
    void Pump() {
        for (int i = 0; i < 20; ++i) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            Sleep(10);
        }
    }

private:
    HWND window_ = nullptr;
};

}  // namespace

TEST(Win32Input, AbsoluteAndRelativePointerMoves) {
    std::unique_ptr<InputInjector> input = CreateSystemInputInjector();
    int width = 0, height = 0;
    ASSERT_TRUE(input->ScreenSize(&width, &height));
    EXPECT_EQ(width, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(height, GetSystemMetrics(SM_CYSCREEN));

    input->SetCursorPosition(400, 300);
    POINT p{};
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, 400);
    EXPECT_EQ(p.y, 300);
    int x = 0, y = 0;
    ASSERT_TRUE(input->CursorPosition(&x, &y));
    EXPECT_EQ(x, 400);
    EXPECT_EQ(y, 300);

    // Relative motion goes through the system's pointer speed, so only its direction is
    // promised: right and up here, then left and down.
    input->MouseEvent(kMouseMove, 40, -30, 0);
    POINT q{};
    EXPECT_TRUE(PumpUntil([&] { return GetCursorPos(&q) && q.x > p.x && q.y < p.y; }, 5000))
        << q.x << "," << q.y;
    input->MouseEvent(kMouseMove, -80, 60, 0);
    POINT r{};
    EXPECT_TRUE(PumpUntil([&] { return GetCursorPos(&r) && r.x < q.x && r.y > q.y; }, 5000))
        << r.x << "," << r.y;
}

TEST(Win32Input, KeyRecordsReachTheFocusedWindow) {
    std::unique_ptr<InputInjector> input = CreateSystemInputInjector();
    KeyWindow window;
    ASSERT_EQ(GetFocus(), window.handle());
    input->Key({kVkHome, 0, false, false});
    input->Key({kVkHome, 0, false, true});
    input->Key({0, 0x00E9, true, false});  // é
    input->Key({0, 0x00E9, true, true});
    input->Key({0, 0x20AC, true, false});  // €
    input->Key({0, 0x20AC, true, true});
    std::vector<std::pair<UINT, WPARAM>> keys, chars;
    PumpUntil(
        [&] {
            keys.clear();
            chars.clear();
            for (const Seen& s : g_seen) {
                if (s.message == WM_CHAR) {
                    chars.push_back({s.message, s.wParam});
                } else if (s.wParam == kVkHome) {
                    keys.push_back({s.message, s.wParam});
                }
            }
            return keys.size() >= 2 && chars.size() >= 2;
        },
        5000);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].first, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(keys[1].first, static_cast<UINT>(WM_KEYUP));
    ASSERT_EQ(chars.size(), 2u);
    EXPECT_EQ(chars[0].second, 0x00E9u);
    EXPECT_EQ(chars[1].second, 0x20ACu);
}

// What the program does at its end: the keys and buttons it still holds go up.
TEST(Win32Input, ReleaseAllLetsGoOfHeldKeysAndButtons) {
    std::unique_ptr<InputInjector> input = CreateSystemInputInjector();
    auto down = [](int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; };
    auto settles = [](const std::function<bool()>& condition) {
        for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(10)) {
            if (condition()) return true;
        }
        return condition();
    };
    input->SetCursorPosition(3, 3);  // on the bare desktop: the clicks reach no window of ours
    input->Key({kVkShift, 0, false, false});
    input->MouseEvent(kMouseLeftDown | kMouseRightDown, 0, 0, 0);
    input->MouseEvent(kMouseRightUp, 0, 0, 0);
    ASSERT_TRUE(settles([&] { return down(VK_SHIFT) && down(VK_LBUTTON) && !down(VK_RBUTTON); }));

    input->ReleaseAll();
    EXPECT_TRUE(settles([&] { return !down(VK_SHIFT) && !down(VK_LBUTTON); }))
        << "shift " << down(VK_SHIFT) << ", left button " << down(VK_LBUTTON);
    EXPECT_FALSE(down(VK_RBUTTON));
}
