// The "Keyboard" command: named keys held around typed text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class InputInjector;

struct KeyboardCommand {
    static constexpr size_t kMaxKeys = 20;
    static constexpr size_t kMaxTextUnits = 253;
    std::vector<std::uint16_t> keys;  // virtual keys in parse order
    std::u16string text;              // UTF-16 text, possibly ending in an added line feed
};

// Parses "kc=NAME,...,ks=TEXT". False when the command must be dropped whole (an empty key name
// or one of 20 characters or more).
bool ParseKeyboardParameter(const char* parameter, KeyboardCommand* command);

// Keys down in order, each text unit down and up, keys up in reverse order: one Keys call.
void SendKeyboardInput(InputInjector& input, const KeyboardCommand& command);
