// Whether the Linux program shows its desktop face or runs without windows, as it always has
// on servers, in tests and in the benchmark.
#pragma once

// True when the command line holds "--headless".
bool HeadlessRequested(int argc, char** argv);

// The desktop face is used when one is built in, the command line does not ask for the program
// without windows, and the X display in DISPLAY accepts this program as a client.
bool UseDesktopFace(bool faceBuiltIn, int argc, char** argv);
