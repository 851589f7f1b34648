// The Linux program's life: its command line, then single instance, signals and sockets around
// the application, the address line and the updater, until SIGINT, SIGTERM or SIGHUP (or, with
// the desktop face, the tray menu's "Shutdown"). Main thread.
#pragma once

#include "app/posix/desktop_face.h"

// Runs the program with main's arguments and returns its exit code. `face` is the desktop face
// when one is built in (null otherwise); it is used unless the command line holds "--headless"
// or no X display accepts the program.
int RunLinuxProgram(int argc, char** argv, DesktopFace face);
