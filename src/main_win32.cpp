// CorvaneServer for Windows: entry point of the tray program.
#include <windows.h>

#include "app/win32/program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunWindowsProgram(); }
