#include "commands/keyboard_input.h"

#include <cstring>
#include <vector>

#include "platform/input.h"
#include "platform/text_conversion.h"

namespace {

struct KeyName {
    const char* name;
    std::uint16_t code;
};

const KeyName kKeyNameTable[] = {
    {"CTRL", kVkControl}, {"SHIFT", kVkShift}, {"ALT", kVkMenu},   {"RETURN", kVkReturn},
    {"TAB", kVkTab},      {"BACK", kVkBack},   {"ESC", kVkEscape}, {"PGUP", kVkPrior},
    {"PGDN", kVkNext},    {"HOME", kVkHome},   {"END", kVkEnd},
};

constexpr size_t kMaxNameLength = 19;

// Cuts UTF-16 text to `limit` units without leaving half a surrogate pair at the end.
void CutUtf16(std::u16string* text, size_t limit) {
    if (text->size() <= limit) return;
    text->resize(limit);
    char16_t last = text->back();
    if (last >= 0xD800 && last <= 0xDBFF) text->pop_back();
}

}  // namespace

bool ParseKeyboardParameter(const char* parameter, KeyboardCommand* command) {
    command->keys.clear();
    command->text.clear();
    const char* p = parameter;
    while (std::strncmp(p, "kc=", 3) == 0) {
        const char* name = p + 3;
        const char* comma = std::strchr(name, ',');
        size_t length = comma != nullptr ? static_cast<size_t>(comma - name) : std::strlen(name);
        if (length == 0 || length > kMaxNameLength) return false;
        for (const KeyName& k : kKeyNameTable) {
            if (std::strlen(k.name) == length && std::strncmp(k.name, name, length) == 0) {
                if (command->keys.size() < KeyboardCommand::kMaxKeys) {
                    command->keys.push_back(k.code);
                }
                break;
            }
        }
        if (comma == nullptr) return true;
        p = comma + 1;
    }
    if (std::strncmp(p, "ks=", 3) != 0) return true;
    std::string text = p + 3;
    if (text.empty()) return true;
    bool addLineFeed = false;
    if (text.back() == '\r') {
        text.pop_back();
        addLineFeed = true;
    }
    command->text = Utf8ToUtf16(text);
    CutUtf16(&command->text, KeyboardCommand::kMaxTextUnits);
    if (addLineFeed) command->text.push_back(u'\n');
    return true;
}

void SendKeyboardInput(InputInjector& input, const KeyboardCommand& command) {
    // One call for the whole command: the halves of a surrogate pair must reach the injector
    // together, and another phone's keys must not land between our modifiers and the text.
    std::vector<KeyRecord> records;
    records.reserve(2 * (command.keys.size() + command.text.size()));
    for (std::uint16_t key : command.keys) records.push_back({key, 0, false, false});
    for (char16_t unit : command.text) {
        records.push_back({0, static_cast<std::uint16_t>(unit), true, false});
        records.push_back({0, static_cast<std::uint16_t>(unit), true, true});
    }
    for (auto it = command.keys.rbegin(); it != command.keys.rend(); ++it) {
        records.push_back({*it, 0, false, true});
    }
    input.Keys(records);
}
