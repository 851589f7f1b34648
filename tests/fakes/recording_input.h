// An input injector that records every event as text, for assertions.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/input.h"

class RecordingInput : public InputInjector {
public:
    // Events read "move 10,-5", "wheel -12", "left down", "pos 100,200", "key 0x11 down",
    // "char U+0061 up", "flush"; a Keys call is "keys <count>" before its records, and
    // ReleaseAll is "release all".
    void MouseEvent(std::uint32_t flags, std::int32_t dx, std::int32_t dy,
                    std::int32_t wheelData) override;
    void SetCursorPosition(int x, int y) override;
    // Where the last SetCursorPosition put the pointer; false before the first.
    bool CursorPosition(int* x, int* y) override;
    void Key(const KeyRecord& key) override;
    void Keys(std::span<const KeyRecord> keys) override;
    void Flush() override;
    void ReleaseAll() override;
    bool ScreenSize(int* width, int* height) override;

    std::vector<std::string> Events();
    // Events without the "flush" and "keys" markers.
    std::vector<std::string> Input();
    int screenWidth = 1920, screenHeight = 1080;

private:
    void Add(std::string event);
    std::mutex lock_;
    std::vector<std::string> events_;
    bool placed_ = false;
    int x_ = 0, y_ = 0;
};
