// CorvaneServer for Linux: the remote-control service, with a tray icon and settings window
// where the desktop face is built in and a display is there, else as a program without windows.
// It runs until SIGINT, SIGTERM or SIGHUP, or the tray menu's "Shutdown".
#include "app/posix/linux_program.h"
#if defined(CORVANE_DESKTOP_FACE)
#include "app/qt/desktop_program.h"
#endif

int main(int argc, char** argv) {
#if defined(CORVANE_DESKTOP_FACE)
    return RunLinuxProgram(argc, argv, &RunQtDesktop);
#else
    return RunLinuxProgram(argc, argv, nullptr);
#endif
}
