// The Windows program's life: language, single instance, COM and sockets around the modal
// main window. Main thread.
#pragma once

#include <windows.h>

// Runs the program and returns its exit code. Standard output needs nothing of its own: the C
// library of a program without a console takes the handles it was started with (a file or pipe
// when the caller redirected them).
int RunWindowsProgram();

// Chooses the interface language from the user's locale language: Chinese (PRC, 0x0804) is
// kept, every other language gets English (United States) for this thread's resources.
void ChooseInterfaceLanguage(LANGID userLanguage);
