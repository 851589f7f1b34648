// The Linux program's life: its command line, then single instance, signals and sockets around
// the application, the address line and the updater, until SIGINT, SIGTERM or SIGHUP. Main
// thread.
#pragma once

// Runs the program with main's arguments and returns its exit code.
int RunLinuxProgram(int argc, char** argv);
