// CorvaneServer for Linux: the remote-control service as a program without windows. It runs
// until SIGINT, SIGTERM or SIGHUP, the counterpart of the tray menu's "Shutdown".
#include "app/posix/linux_program.h"

int main(int argc, char** argv) { return RunLinuxProgram(argc, argv); }
