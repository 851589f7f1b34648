#include "recording_input.h"

#include <cstdio>

void RecordingInput::Add(std::string event) {
    std::lock_guard<std::mutex> guard(lock_);
    events_.push_back(std::move(event));
}

void RecordingInput::MouseEvent(std::uint32_t flags, std::int32_t dx, std::int32_t dy,
                                std::int32_t wheelData) {
    char text[64];
    switch (flags) {
        case kMouseMove:
            std::snprintf(text, sizeof text, "move %d,%d", dx, dy);
            break;
        case kMouseWheel:
            std::snprintf(text, sizeof text, "wheel %d", wheelData);
            break;
        case kMouseLeftDown:
            std::snprintf(text, sizeof text, "left down");
            break;
        case kMouseLeftUp:
            std::snprintf(text, sizeof text, "left up");
            break;
        case kMouseRightDown:
            std::snprintf(text, sizeof text, "right down");
            break;
        case kMouseRightUp:
            std::snprintf(text, sizeof text, "right up");
            break;
        case kMouseMiddleDown:
            std::snprintf(text, sizeof text, "middle down");
            break;
        case kMouseMiddleUp:
            std::snprintf(text, sizeof text, "middle up");
            break;
        default:
            std::snprintf(text, sizeof text, "mouse 0x%x", flags);
            break;
    }
    Add(text);
}

void RecordingInput::SetCursorPosition(int x, int y) {
    Add("pos " + std::to_string(x) + "," + std::to_string(y));
    std::lock_guard<std::mutex> guard(lock_);
    placed_ = true;
    x_ = x;
    y_ = y;
}

bool RecordingInput::CursorPosition(int* x, int* y) {
    std::lock_guard<std::mutex> guard(lock_);
    *x = x_;
    *y = y_;
    return placed_;
}

void RecordingInput::Key(const KeyRecord& key) {
    char text[64];
    if (key.unicode) {
        std::snprintf(text, sizeof text, "char U+%04X %s", key.unit, key.up ? "up" : "down");
    } else {
        std::snprintf(text, sizeof text, "key 0x%02X %s", key.virtualKey, key.up ? "up" : "down");
    }
    Add(text);
}

void RecordingInput::Keys(std::span<const KeyRecord> keys) {
    Add("keys " + std::to_string(keys.size()));
    InputInjector::Keys(keys);
}

void RecordingInput::Flush() { Add("flush"); }

void RecordingInput::ReleaseAll() { Add("release all"); }

bool RecordingInput::ScreenSize(int* width, int* height) {
    *width = screenWidth;
    *height = screenHeight;
    return true;
}

std::vector<std::string> RecordingInput::Events() {
    std::lock_guard<std::mutex> guard(lock_);
    return events_;
}

std::vector<std::string> RecordingInput::Input() {
    std::vector<std::string> out;
    for (std::string& e : Events()) {
        if (e != "flush" && e.rfind("keys ", 0) != 0) out.push_back(e);
    }
    return out;
}
