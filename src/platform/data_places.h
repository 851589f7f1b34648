// Where the program keeps the files it writes: its settings file and its log.
#pragma once

#include <string>

struct DataPlaces {
    // Both folders are the executable's own. Otherwise they are the user's folders of an
    // installed program (below).
    bool besideExecutable = true;
    // The folders, without a trailing separator. Empty when beside the executable: callers then
    // build the names from the executable's path as they always have.
    std::string settingsFolder;
    std::string logFolder;
};

// Windows: always beside the executable (the installer puts it in a per-user folder, which
// stays writable).
// Elsewhere: beside the executable, unless the program is installed, that is its executable
// lies in a folder named "bin" (/usr/bin, /usr/local/bin, ~/.local/bin) or in a folder this
// user may not write to. An installed program keeps its settings in
// $XDG_CONFIG_HOME/CorvaneServer and its log in $XDG_STATE_HOME/CorvaneServer (defaults
// $HOME/.config and $HOME/.local/state), creating them (mode 0700) when missing; when no home
// folder can be found it stays beside the executable. Any thread.
DataPlaces ProgramDataPlaces();
