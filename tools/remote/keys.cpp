#include "remote/keys.h"

namespace {

constexpr char kEsc = '\x1b';

Key Make(KeyCode code, char ch = 0) {
    Key k;
    k.code = code;
    k.ch = ch;
    return k;
}

// The key a CSI or SS3 sequence ends in (final byte, and the number before "~").
Key SequenceKey(char final, int number) {
    switch (final) {
        case 'A':
            return Make(KeyCode::kUp);
        case 'B':
            return Make(KeyCode::kDown);
        case 'C':
            return Make(KeyCode::kRight);
        case 'D':
            return Make(KeyCode::kLeft);
        case '~':
            if (number == 5) return Make(KeyCode::kPageUp);
            if (number == 6) return Make(KeyCode::kPageDown);
            return Make(KeyCode::kNone);
        default:
            return Make(KeyCode::kNone);
    }
}

}  // namespace

std::size_t DecodeKey(std::string_view bytes, bool complete, Key* key) {
    if (bytes.empty()) return 0;
    unsigned char c = static_cast<unsigned char>(bytes[0]);
    if (c != kEsc) {
        switch (c) {
            case '\r':
            case '\n':
                *key = Make(KeyCode::kEnter);
                break;
            case 0x7f:
            case 0x08:
                *key = Make(KeyCode::kBackspace);
                break;
            case 0x03:
                *key = Make(KeyCode::kInterrupt);
                break;
            case 0x04:
                *key = Make(KeyCode::kEndOfInput);
                break;
            default:
                *key = c >= 0x20 ? Make(KeyCode::kChar, bytes[0]) : Make(KeyCode::kNone);
        }
        return 1;
    }
    if (bytes.size() == 1) {
        if (!complete) return 0;
        *key = Make(KeyCode::kEscape);
        return 1;
    }
    char introducer = bytes[1];
    if (introducer == 'O') {  // SS3: ESC O <final>, what some terminals send for the arrows
        if (bytes.size() < 3) {
            if (!complete) return 0;
            *key = Make(KeyCode::kNone);
            return bytes.size();
        }
        *key = SequenceKey(bytes[2], 0);
        return 3;
    }
    if (introducer != '[') {  // Escape, then an ordinary key
        *key = Make(KeyCode::kEscape);
        return 1;
    }
    // CSI: ESC [ parameters (digits and ';') intermediate bytes, final byte 0x40..0x7e.
    int number = 0;
    bool first = true;
    for (std::size_t i = 2; i < bytes.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b >= 0x40 && b <= 0x7e) {
            *key = SequenceKey(static_cast<char>(b), number);
            return i + 1;
        }
        if (b >= '0' && b <= '9') {
            if (first && number < 1000) number = number * 10 + (b - '0');
        } else if (b == ';') {
            first = false;
        } else if (b < 0x20 || b > 0x3f) {
            // Not part of a sequence: drop what came so far.
            *key = Make(KeyCode::kNone);
            return i;
        }
    }
    if (!complete) return 0;
    *key = Make(KeyCode::kNone);
    return bytes.size();
}
