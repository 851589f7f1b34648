// The keyboard of the interactive mode: a terminal switched to raw input (a console on
// Windows), or piped bytes.
#pragma once

#include <memory>

#include "remote/keys.h"

class KeySource {
public:
    virtual ~KeySource() = default;
    // The next key, or KeyCode::kNone when none came within `timeoutMs`. Reports
    // KeyCode::kEndOfInput once the input has ended.
    virtual Key Next(int timeoutMs) = 0;
};

// Reads standard input. A terminal is switched to raw input until the source is destroyed (or
// the process is ended by a signal).
std::unique_ptr<KeySource> OpenKeySource();

// True when standard output is a terminal (the status line is then rewritten in place).
bool OutputIsTerminal();
