// The user's folders after the XDG base directory rules, and where an installed program keeps
// its files (POSIX only).
#pragma once

#include <string>

#include "platform/data_places.h"

// $HOME when absolute, else the user database's home folder; empty when neither is absolute.
std::string HomeFolder();

// $XDG_CONFIG_HOME, or $HOME/.config when it is unset, empty or not absolute (relative values
// are invalid and ignored, as the rules say). Empty when there is no home folder either.
std::string XdgConfigHome();

// $XDG_STATE_HOME, or $HOME/.local/state, by the same rules.
std::string XdgStateHome();

// The places for an executable: installed when its folder is named "bin" or is not writable
// (`folderWritable`), and then only with both XDG folders known; beside the executable
// otherwise. Creates nothing.
DataPlaces DataPlacesFor(const std::string& executablePath, bool folderWritable,
                         const std::string& configHome, const std::string& stateHome);
