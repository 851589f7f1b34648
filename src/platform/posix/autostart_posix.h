// The XDG autostart entry behind ChangeAutoStartEntry on POSIX systems.
#pragma once

#include <string>

// "$XDG_CONFIG_HOME/autostart/VolaServer.desktop", or under "$HOME/.config" when XDG_CONFIG_HOME
// is unset, empty or not absolute (HOME falling back to the user database). Empty when neither
// gives an absolute folder.
std::string AutoStartEntryPath();

// The entry's text for an executable: an application named "CorvaneServer" that runs the
// executable with no arguments.
std::string DesktopEntryText(const std::string& executablePath);

// The executable path as an Exec value: one quoted argument, with the escapes the desktop entry
// format asks for (see the definition).
std::string DesktopExecValue(const std::string& executablePath);
