// The Linux program's life: single instance, signals and sockets around the application, the
// address line and the updater, until SIGINT or SIGTERM. Main thread.
#pragma once

// Runs the program and returns its exit code.
int RunLinuxProgram();
