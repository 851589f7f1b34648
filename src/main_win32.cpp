// CorvaneServer for Windows: entry point of the tray program.
#include <windows.h>

#include "platform/win32/ui/program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunWindowsProgram(); }
