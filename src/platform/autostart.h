// Whether the program starts with the user's session: on Windows the value "VolaServer" under the
// per-user Run key, elsewhere the XDG autostart entry "VolaServer.desktop".
#pragma once

enum class AutoStartChange {
    kDone,        // the entry now matches the request
    kCannotOpen,  // the place that holds the entry could not be opened (either direction)
    kCannotWrite  // the entry could not be written (only when enabling)
};

// Creates (or rewrites, with the running executable's current full path) the entry when enabled,
// removes it otherwise; an entry already missing is no failure. Calls from the user-interface
// thread.
AutoStartChange ChangeAutoStartEntry(bool enabled);

// Tells the user that the entry could not be changed: a message box (OK only) on Windows, which
// blocks the calling thread until dismissed; a log line elsewhere, where no desktop is assumed.
void ShowAutoStartNotice(const char* text);
