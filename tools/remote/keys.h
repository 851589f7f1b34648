// Keys of the interactive mode, decoded from terminal bytes (or from the Windows console).
#pragma once

#include <cstddef>
#include <string_view>

enum class KeyCode {
    kNone,  // a sequence we do not use (function keys and the like): ignored
    kChar,  // a printable character or Space, in Key::ch
    kRight,
    kLeft,
    kUp,
    kDown,
    kPageUp,
    kPageDown,
    kEnter,
    kEscape,
    kBackspace,
    kInterrupt,   // Ctrl+C
    kEndOfInput,  // Ctrl+D, or the end of a piped input
};

struct Key {
    KeyCode code = KeyCode::kNone;
    char ch = 0;
};

// Decodes the first key in `bytes` and returns how many bytes it took. Returns 0 when `bytes` is
// empty, or when it holds only the start of an escape sequence and `complete` is false: then
// call again once more bytes came, or with `complete` true once none followed (a lone Escape).
std::size_t DecodeKey(std::string_view bytes, bool complete, Key* key);
